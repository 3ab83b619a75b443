#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <View/RUXCropViewController.h>

namespace {
// Lets 40 % of the picture outside the window show through.
constexpr double kBlackBarAlpha = 0.6;
constexpr double kTitleHeight = 44;
constexpr double kBarHeight = 48;
} // namespace

std::shared_ptr<RUXCropViewController> RUXCropViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    std::shared_ptr<RUXCropViewController> screen(new RUXCropViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    screen->setTransformation(
        screen->workingCopyOfClass<RUXCropTransformation>(RUXCropTransformation::classDescriptor()));
    return screen;
}

void RUXCropViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    setTitle(titleForTransformation(m_transformation.get()));
    resetZoomScrollViewLayout();
    showUncroppedImage();
    syncZoomScrollViewWithTransformation();
}

Graphics::Rect RUXCropViewController::cropArea() {
    return rectForImageView().unionWith(rectForFilterBar());
}

double RUXCropViewController::windowInset() {
    const Graphics::Rect area = cropArea();
    return (area.size.height - area.size.width) * 0.5;
}

void RUXCropViewController::setupSubviews() {
    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);

    m_zoomScrollView = RUXZoomScrollView::create({0, 0, 0, 0});
    view()->addSubview(m_zoomScrollView);

    m_blackBarTop = Toolkit::View::create({0, 0, 0, 0});
    m_blackBarTop->setBackgroundColor(Toolkit::Color::black());
    m_blackBarTop->setAlpha(kBlackBarAlpha);
    view()->addSubview(m_blackBarTop);

    m_blackBarBottom = Toolkit::View::create({0, 0, 0, 0});
    m_blackBarBottom->setBackgroundColor(Toolkit::Color::black());
    m_blackBarBottom->setAlpha(kBlackBarAlpha);
    view()->addSubview(m_blackBarBottom);

    const double w = view()->frame().size.width;
    view()->addSubview(RUXRuleOfThirdsView::create({0, windowInset() + kTitleHeight, w, w}));
}

void RUXCropViewController::resetZoomScrollViewLayout() {
    const Graphics::Rect area = cropArea();
    const double inset = windowInset();
    const double w = area.size.width;
    const double h = view()->frame().size.height;
    m_zoomScrollView->setFrame(area);
    m_zoomScrollView->setContentInset({inset, 0, inset, 0});
    m_zoomScrollView->setTargetArea({0, inset, w, w});
    m_blackBarTop->setFrame({0, kTitleHeight, w, inset});
    m_blackBarBottom->setFrame({0, h - kBarHeight - inset, w, inset});
}

void RUXCropViewController::showUncroppedImage() {
    if (!editManager() || !imageRenderer()) {
        return;
    }
    m_renderFormula = editManager()->imageWithTransformationClasses(
        {&RUXRotateTransformation::classDescriptor(), &RUXNormalizeTransformation::classDescriptor(),
         &RUXBrightnessTransformation::classDescriptor(), &RUXSaturationTransformation::classDescriptor(),
         &RUXContrastTransformation::classDescriptor(), &RUXStraightenTransformation::classDescriptor()});
    m_zoomScrollView->setImage(imageRenderer()->renderedImage(m_renderFormula));
}

void RUXCropViewController::syncZoomScrollViewWithTransformation() {
    if (!m_transformation || !m_renderFormula || !m_zoomScrollView->image()) {
        return;
    }
    const Graphics::Rect r = m_transformation->cropRect();
    if (r == Graphics::Rect(0, 0, 0, 0)) {
        return;
    }
    const auto metadata = m_renderFormula->metadata();
    const Graphics::Rect r1 = metadata->appliedAffineTransform().applyToRect(r);
    const Graphics::Rect r2 = r1.offsetBy(-metadata->translateX(), -metadata->translateY());
    const double imageHeight = m_zoomScrollView->image()->size().height;
    const Graphics::Rect r3(r2.origin.x, imageHeight - r2.origin.y - r2.size.height, r2.size.width,
                            r2.size.height);
    m_zoomScrollView->zoomToRect(r3, Toolkit::Animated::No);
}

void RUXCropViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    const auto image = m_zoomScrollView->image();
    // Without a picture (a photo that could not be rendered) there is no framing to store; the
    // copy is committed as it came, like any OK without a change.
    if (m_transformation && m_renderFormula && image) {
        const Graphics::Rect r = m_zoomScrollView->targetRectOfOriginalImage();
        const Graphics::Size imageSize = image->size();
        // From the picture's top-left, y-down space to the engine's bottom-left, y-up one.
        const Graphics::Rect engineRect(r.origin.x, imageSize.height - r.size.height - r.origin.y,
                                        r.size.width, r.size.height);
        m_transformation->setCropRect(engineRect, {0, 0, imageSize.width, imageSize.height},
                                      *m_renderFormula->metadata());
    }
    commitAndDismiss(m_transformation);
}

void RUXCropViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}
