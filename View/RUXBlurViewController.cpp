#include <View/RUXBlurViewController.h>

using Toolkit::GestureRecognizerState;

std::shared_ptr<RUXBlurViewController> RUXBlurViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    std::shared_ptr<RUXBlurViewController> screen(new RUXBlurViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    screen->setTransformation(
        screen->workingCopyOfClass<RUXBlurTransformation>(RUXBlurTransformation::classDescriptor()));
    return screen;
}

void RUXBlurViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    setupGestures();
    setTitle(titleForTransformation(m_transformation.get()));
}

void RUXBlurViewController::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    showLastImage();
}

void RUXBlurViewController::viewDidAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewDidAppear(animated);
    showHighQualityPreview();
}

void RUXBlurViewController::setupSubviews() {
    // Not the image view's delegate: touching the picture places the blur rather than comparing.
    m_imageView = RUXImageView::create(rectForImageView(), imageRenderer());
    view()->addSubview(m_imageView);

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

void RUXBlurViewController::setupGestures() {
    auto self = std::static_pointer_cast<RUXBlurViewController>(shared_from_this());
    auto delegate = sharedAs<Toolkit::GestureRecognizerDelegate>();

    m_panGesture = Toolkit::PanGestureRecognizer::create();
    m_panGesture->addTarget(self, &RUXBlurViewController::didPanImageView);
    m_panGesture->setDelegate(delegate);
    m_imageView->addGestureRecognizer(m_panGesture);

    m_pinchGesture = Toolkit::PinchGestureRecognizer::create();
    m_pinchGesture->addTarget(self, &RUXBlurViewController::didPinchImageView);
    m_pinchGesture->setDelegate(delegate);
    m_imageView->addGestureRecognizer(m_pinchGesture);

    m_tapGesture = Toolkit::TapGestureRecognizer::create();
    m_tapGesture->addTarget(self, &RUXBlurViewController::didTapImageView);
    m_tapGesture->setDelegate(delegate);
    m_imageView->addGestureRecognizer(m_tapGesture);
}

void RUXBlurViewController::showLastImage() {
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXBlurViewController::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(editManager()->previewImageWithTransformation(m_transformation));
    }
}

void RUXBlurViewController::showHighQualityPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

Graphics::Point
RUXBlurViewController::normalizedLocation(const Toolkit::GestureRecognizer& recognizer) const {
    const Graphics::Point location = recognizer.locationInView(m_imageView);
    const Graphics::Size size = m_imageView->frame().size;
    return {location.x / size.width, location.y / size.height};
}

void RUXBlurViewController::didTapImageView(Toolkit::TapGestureRecognizer& recognizer) {
    if (!m_transformation) {
        return;
    }
    m_transformation->setPoint(normalizedLocation(recognizer));
    showHighQualityPreview();
}

void RUXBlurViewController::didPanImageView(Toolkit::PanGestureRecognizer& recognizer) {
    if (!m_transformation) {
        return;
    }
    // Two-finger movement belongs to the pinch, which also moves the point.
    if (recognizer.numberOfTouches() >= 2 || m_pinchGesture->state() == GestureRecognizerState::Changed) {
        return;
    }
    const Graphics::Point point = normalizedLocation(recognizer);
    if (recognizer.state() == GestureRecognizerState::Began) {
        m_transformation->startPanningAt(point);
    } else if (recognizer.state() == GestureRecognizerState::Ended) {
        m_transformation->stopPanning();
    }
    if (recognizer.state() != GestureRecognizerState::Ended) {
        m_transformation->setPoint(point);
        showPreview();
    } else {
        // The point stays where the last move put it; the lift position may have jittered.
        showHighQualityPreview();
    }
}

void RUXBlurViewController::didPinchImageView(Toolkit::PinchGestureRecognizer& recognizer) {
    if (!m_transformation) {
        return;
    }
    const Graphics::Point point = normalizedLocation(recognizer);
    if (recognizer.state() == GestureRecognizerState::Began) {
        m_transformation->startScalingAt(recognizer.scale());
        m_transformation->startPanningAt(point);
    } else if (recognizer.state() == GestureRecognizerState::Ended) {
        m_transformation->stopScaling();
    }
    if (recognizer.state() != GestureRecognizerState::Ended) {
        // With one finger lifted the centre jumps to the remaining finger; wait for the end instead.
        if (recognizer.numberOfTouches() == 1) {
            return;
        }
        m_transformation->setPoint(point);
        m_transformation->setScale(recognizer.scale());
        showPreview();
    } else {
        showHighQualityPreview();
    }
}

void RUXBlurViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXBlurViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}
