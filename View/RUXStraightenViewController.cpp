#include <Transformation/RUXRotateTransformation.h>
#include <View/RUXStraightenViewController.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The slider counts tenths of a degree, so that a step of the thumb is a step of the angle and a
// release within its snapping distance of the middle (three units, 0.3°) levels the picture.
constexpr double kSliderUnitsPerDegree = 10;

const RUXParameter& angleParameter() {
    return RUXStraightenTransformation::declaration().parameters.front();
}

double sliderUnits(const RUXParameter& angle, bool maximum) {
    return (maximum ? angle.maxValue : angle.minValue) * kSliderUnitsPerDegree;
}

std::string angleText(double degrees) {
    char text[32];
    // Never "-0.0°" for a level picture.
    std::snprintf(text, sizeof text, "%.1f°", std::abs(degrees) < 0.05 ? 0.0 : degrees);
    return text;
}

} // namespace

std::shared_ptr<RUXStraightenViewController> RUXStraightenViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    std::shared_ptr<RUXStraightenViewController> screen(new RUXStraightenViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    screen->m_transformation = screen->workingCopyOfClass<RUXStraightenTransformation>(
        RUXStraightenTransformation::classDescriptor());
    return screen;
}

double RUXStraightenViewController::seenSense() const {
    if (!editManager()) {
        return 1;
    }
    auto rotate = std::dynamic_pointer_cast<RUXRotateTransformation>(
        editManager()->getTransformationWithClass(RUXRotateTransformation::classDescriptor()));
    // A mirror turns a counter-clockwise turn of the photo into a clockwise one as seen; quarter
    // turns keep the sense.
    return rotate && rotate->transformMatrix().determinant() < 0 ? -1 : 1;
}

double RUXStraightenViewController::seenAngle() const {
    return m_transformation ? double(m_transformation->value()) * seenSense() : 0;
}

void RUXStraightenViewController::setSeenAngle(double degrees) {
    if (m_transformation) {
        m_transformation->setValue(float(degrees * seenSense()));
    }
}

void RUXStraightenViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    setTitle(titleForTransformation(m_transformation.get()));
}

void RUXStraightenViewController::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    showLastImage();
}

void RUXStraightenViewController::setupSubviews() {
    m_imageView = RUXImageView::create(rectForImageView(), imageRenderer());
    m_imageView->setDelegate(sharedAs<RUXImageViewDelegate>());
    view()->addSubview(m_imageView);

    // Over the whole picture band, hidden until the thumb moves; it lets touches through.
    m_gridView = RUXRuleOfThirdsView::create(rectForImageView());
    m_gridView->setHidden(true);
    view()->addSubview(m_gridView);

    const RUXParameter& angle = angleParameter();
    m_slider = RUXSlider::create(rectForFilterBar());
    m_slider->setMinValue(sliderUnits(angle, false));
    m_slider->setMaxValue(sliderUnits(angle, true));
    m_slider->setValueText([](double units) { return angleText(units / kSliderUnitsPerDegree); });
    m_slider->setCurrentValue(std::round(seenAngle() * kSliderUnitsPerDegree));
    m_slider->setDelegate(sharedAs<RUXSliderDelegate>());
    view()->addSubview(m_slider);

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

void RUXStraightenViewController::showLastImage() {
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXStraightenViewController::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

void RUXStraightenViewController::showImageWithoutTransformation() {
    if (m_imageView && editManager()) {
        m_imageView->renderAndShowImageAsync(
            editManager()->imageWithAllTransformationsExcept(RUXStraightenTransformation::classDescriptor()));
    }
}

bool RUXStraightenViewController::imageViewDidTouchDown(RUXImageView&) {
    showImageWithoutTransformation();
    return true;
}

bool RUXStraightenViewController::imageViewDidTouchUp(RUXImageView&) {
    showPreview();
    return true;
}

void RUXStraightenViewController::sliderDidChangeValue(RUXSlider& slider, double) {
    if (!m_transformation) {
        return;
    }
    // The declared mapping rounds to the angle's tenths of a degree.
    const double range = slider.maxValue() - slider.minValue();
    const double fraction = range != 0 ? (slider.currentValue() - slider.minValue()) / range : 0.5;
    setSeenAngle(RUXValueAtSliderFraction(angleParameter(), fraction));
    if (m_gridView) {
        fitGridToPicture();
        m_gridView->setHidden(false);
    }
    showPreview();
}

void RUXStraightenViewController::fitGridToPicture() {
    // The picture keeps its size whatever the angle, so the one shown now frames every preview.
    const Graphics::Rect band = rectForImageView();
    const auto picture = m_imageView ? m_imageView->image() : nullptr;
    const Graphics::Size size = picture ? picture->size() : Graphics::Size{};
    if (!(size.width > 0) || !(size.height > 0)) {
        m_gridView->setFrame(band);
        return;
    }
    const double scale = std::min(band.width() / size.width, band.height() / size.height);
    const double w = size.width * scale, h = size.height * scale;
    m_gridView->setFrame({band.midX() - w / 2, band.midY() - h / 2, w, h});
}

void RUXStraightenViewController::sliderDidEndDragging(RUXSlider&, double) {
    if (m_gridView) {
        m_gridView->setHidden(true);
    }
}

void RUXStraightenViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXStraightenViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}
