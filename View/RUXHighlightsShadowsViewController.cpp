#include <Toolkit/Font.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXHighlightsShadowsViewController.h>

namespace {

// Each slider shows its value's range as −100 … 100, the neutral 0 on the centre mark.
constexpr double kSliderMin = -100;
constexpr double kSliderMax = 100;
// The second slider band sits on top of the first, taking its height from the image.
constexpr double kBandHeight = 80;

const RUXParameter& parameterNamed(const char* key) {
    return *RUXHighlightsShadowsTransformation::declaration().parameter(key);
}

} // namespace

std::shared_ptr<RUXHighlightsShadowsViewController>
RUXHighlightsShadowsViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    std::shared_ptr<RUXHighlightsShadowsViewController> screen(new RUXHighlightsShadowsViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    screen->m_transformation = screen->workingCopyOfClass<RUXHighlightsShadowsTransformation>(
        RUXHighlightsShadowsTransformation::classDescriptor());
    return screen;
}

void RUXHighlightsShadowsViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    view()->setBackgroundColor(RUXColorWithHexCode(0x000000));
}

void RUXHighlightsShadowsViewController::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    setTitle(titleForTransformation(m_transformation.get()));
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXHighlightsShadowsViewController::setupSubviews() {
    Graphics::Rect imageRect = rectForImageView();
    imageRect.size.height = std::max(0.0, imageRect.size.height - kBandHeight);
    m_imageView = RUXImageView::create(imageRect, imageRenderer());
    m_imageView->setDelegate(sharedAs<RUXImageViewDelegate>());
    view()->addSubview(m_imageView);

    Graphics::Rect lower = rectForFilterBar();
    Graphics::Rect upper = lower;
    upper.origin.y -= kBandHeight;
    m_highlightsSlider = addSlider(upper, "Highlights", "highlights");
    m_shadowsSlider = addSlider(lower, "Shadows", "shadows");

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

std::shared_ptr<RUXSlider> RUXHighlightsShadowsViewController::addSlider(const Graphics::Rect& frame,
                                                                         const char* caption,
                                                                         const char* parameter) {
    auto slider = RUXSlider::create(frame);
    // Keeps the bands above the bar if the screen grows after loading.
    slider->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth |
                                Toolkit::AutoresizingMask::FlexibleTopMargin);
    slider->setDelegate(sharedAs<RUXSliderDelegate>());
    slider->setMinValue(kSliderMin);
    slider->setMaxValue(kSliderMax);
    if (m_transformation) {
        const RUXParameter& p = parameterNamed(parameter);
        const float value = float(p.get(*m_transformation)->numbers.at(0));
        slider->setCurrentValue(float(RUXSliderFractionOfValue(p, value)) * 200.0f - 100.0f);
    }
    // The caption stands in the band's bottom-left corner, under the track, clear of the value text.
    auto label = Toolkit::Label::create({24, 56, 120, 16});
    label->setFont(Toolkit::Font::systemFont(10));
    label->setTextColor(RUXColorWithHexCode(0x5A5A5A));
    label->setText(caption);
    slider->insertSubview(label, 0);
    view()->addSubview(slider);
    return slider;
}

void RUXHighlightsShadowsViewController::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

bool RUXHighlightsShadowsViewController::imageViewDidTouchDown(RUXImageView&) {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->imageWithAllTransformationsExcept(m_transformation->transformationClass()));
    }
    return true;
}

bool RUXHighlightsShadowsViewController::imageViewDidTouchUp(RUXImageView&) {
    showPreview();
    return true;
}

void RUXHighlightsShadowsViewController::sliderDidChangeValue(RUXSlider& slider, double) {
    if (!m_transformation) {
        return;
    }
    const bool highlights = &slider == m_highlightsSlider.get();
    const RUXParameter& p = parameterNamed(highlights ? "highlights" : "shadows");
    // The slider's own value is read rather than the argument: it is the clamped, snapped one.
    const double fraction = (slider.currentValue() - kSliderMin) / (kSliderMax - kSliderMin);
    p.set(*m_transformation, RUXParameterValue{{RUXValueAtSliderFraction(p, fraction)}, {}});
    showPreview();
}

void RUXHighlightsShadowsViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXHighlightsShadowsViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}
