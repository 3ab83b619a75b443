#include <View/RUXRotateViewController.h>

std::shared_ptr<RUXRotateViewController> RUXRotateViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    std::shared_ptr<RUXRotateViewController> screen(new RUXRotateViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    screen->setTransformation(
        screen->workingCopyOfClass<RUXRotateTransformation>(RUXRotateTransformation::classDescriptor()));
    return screen;
}

void RUXRotateViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    setTitle(titleForTransformation(m_transformation.get()));
}

void RUXRotateViewController::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    showLastImage();
}

void RUXRotateViewController::setupSubviews() {
    m_imageView = RUXImageView::create(rectForImageView(), imageRenderer());
    m_imageView->setDelegate(sharedAs<RUXImageViewDelegate>());
    view()->addSubview(m_imageView);

    m_rotateButtonsBar = RUXRotateButtonsBar::create(rectForFilterBar());
    m_rotateButtonsBar->setDelegate(sharedAs<RUXRotateButtonsBarDelegate>());
    view()->addSubview(m_rotateButtonsBar);

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

void RUXRotateViewController::showLastImage() {
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXRotateViewController::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

void RUXRotateViewController::showImageWithoutTransformation() {
    if (m_imageView && editManager()) {
        m_imageView->renderAndShowImageAsync(
            editManager()->imageWithAllTransformationsExcept(RUXRotateTransformation::classDescriptor()));
    }
}

bool RUXRotateViewController::imageViewDidTouchDown(RUXImageView&) {
    showImageWithoutTransformation();
    return true;
}

bool RUXRotateViewController::imageViewDidTouchUp(RUXImageView&) {
    showPreview();
    return true;
}

void RUXRotateViewController::rotateButtonsBarDidPressRotateCW(RUXRotateButtonsBar&) {
    if (m_transformation) {
        m_transformation->rotateClockwise90Degrees();
        showPreview();
    }
}

void RUXRotateViewController::rotateButtonsBarDidPressRotateCCW(RUXRotateButtonsBar&) {
    if (m_transformation) {
        m_transformation->rotateCounterClockwise90Degrees();
        showPreview();
    }
}

void RUXRotateViewController::rotateButtonsBarDidPressFlipVertical(RUXRotateButtonsBar&) {
    if (m_transformation) {
        m_transformation->flipVertical();
        showPreview();
    }
}

void RUXRotateViewController::rotateButtonsBarDidPressFlipHorizontal(RUXRotateButtonsBar&) {
    if (m_transformation) {
        m_transformation->flipHorizontal();
        showPreview();
    }
}

void RUXRotateViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXRotateViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}
