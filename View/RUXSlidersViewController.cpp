#include <Toolkit/Font.h>
#include <Toolkit/Label.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXSlidersViewController.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

// Every slider shows its value's range as −100 … 100, whatever the range and mapping.
constexpr double kSlidersMin = -100;
constexpr double kSlidersMax = 100;
// Each band above the control band takes this much height from the picture.
constexpr double kBandHeight = 80;

bool hasSlider(const RUXParameter& p) {
    return p.kind == RUXParameterKind::Scalar && !p.key.empty() && p.get && p.set && p.minValue < p.maxValue;
}

std::string captionOf(const RUXParameter& p) {
    if (!p.caption.empty()) {
        return p.caption;
    }
    std::string caption = p.key;
    caption[0] = char(std::toupper(static_cast<unsigned char>(caption[0])));
    return caption;
}

double fractionOfPosition(double position) {
    return (position - kSlidersMin) / (kSlidersMax - kSlidersMin);
}

} // namespace

std::shared_ptr<RUXSlidersViewController> RUXSlidersViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer,
    const RUXClass& transformationClass) {
    std::shared_ptr<RUXSlidersViewController> screen(new RUXSlidersViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    const RUXTransformationDeclaration* declaration =
        RUXTransformationRegistry::declarationOf(transformationClass);
    if (!declaration) {
        return screen;
    }
    screen->m_transformation = screen->workingCopyOfClass<RUXImageTransformation>(transformationClass);
    if (screen->m_transformation) {
        std::copy_if(declaration->parameters.begin(), declaration->parameters.end(),
                     std::back_inserter(screen->m_parameters), hasSlider);
    }
    return screen;
}

std::shared_ptr<RUXSlider> RUXSlidersViewController::sliderForKey(std::string_view key) const {
    for (std::size_t i = 0; i < m_sliders.size(); ++i) {
        if (m_parameters[i].key == key) {
            return m_sliders[i];
        }
    }
    return nullptr;
}

void RUXSlidersViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    view()->setBackgroundColor(RUXColorWithHexCode(0x000000));
}

void RUXSlidersViewController::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    setTitle(titleForTransformation(m_transformation.get()));
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXSlidersViewController::setupSubviews() {
    const double bandsAbove = m_parameters.empty() ? 0 : double(m_parameters.size() - 1);
    Graphics::Rect imageRect = rectForImageView();
    imageRect.size.height = std::max(0.0, imageRect.size.height - bandsAbove * kBandHeight);
    m_imageView = RUXImageView::create(imageRect, imageRenderer());
    m_imageView->setDelegate(sharedAs<RUXImageViewDelegate>());
    view()->addSubview(m_imageView);

    Graphics::Rect band = rectForFilterBar();
    band.origin.y -= bandsAbove * kBandHeight;
    for (const RUXParameter& parameter : m_parameters) {
        m_sliders.push_back(addSlider(band, parameter));
        band.origin.y += kBandHeight;
    }

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

std::shared_ptr<RUXSlider> RUXSlidersViewController::addSlider(const Graphics::Rect& frame,
                                                               const RUXParameter& parameter) {
    auto slider = RUXSlider::create(frame);
    // Keeps the bands above the bar if the screen grows after loading.
    slider->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth |
                                Toolkit::AutoresizingMask::FlexibleTopMargin);
    slider->setDelegate(sharedAs<RUXSliderDelegate>());
    slider->setMinValue(kSlidersMin);
    slider->setMaxValue(kSlidersMax);
    // The neutral value need not sit in the middle (an amount from 0, a radius from 0.5, do not).
    const double rest = kSlidersMin + RUXSliderFractionOfValue(parameter, parameter.neutralValue) *
                                          (kSlidersMax - kSlidersMin);
    slider->setRestValue(rest);
    if (const std::optional<RUXParameterValue> value = parameter.get(*m_transformation);
        value && !value->numbers.empty()) {
        // In single precision, as the edits store their values, so that a value read back from the
        // slider lands on the same float.
        slider->setCurrentValue(
            float(RUXSliderFractionOfValue(parameter, float(value->numbers[0]))) * 200.0f - 100.0f);
    }
    if (parameter.sliderText == RUXSliderText::Value) {
        slider->setValueText([parameter](double position) {
            const double value = RUXValueAtSliderFraction(parameter, fractionOfPosition(position));
            char text[32];
            std::snprintf(text, sizeof text, parameter.minValue < 0 ? "%+.2f" : "%.2f",
                          std::abs(value) < 0.005 ? 0.0 : value);
            return std::string(text);
        });
    }
    // The caption stands in the band's bottom-left corner, under the track, clear of the value text.
    auto label = Toolkit::Label::create({24, 56, 120, 16});
    label->setFont(Toolkit::Font::systemFont(10));
    label->setTextColor(RUXColorWithHexCode(0x5A5A5A));
    label->setText(captionOf(parameter));
    slider->insertSubview(label, 0);
    view()->addSubview(slider);
    return slider;
}

void RUXSlidersViewController::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

bool RUXSlidersViewController::imageViewDidTouchDown(RUXImageView&) {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->imageWithAllTransformationsExcept(m_transformation->transformationClass()));
    }
    return true;
}

bool RUXSlidersViewController::imageViewDidTouchUp(RUXImageView&) {
    showPreview();
    return true;
}

void RUXSlidersViewController::sliderDidChangeValue(RUXSlider& slider, double) {
    const auto found =
        std::find_if(m_sliders.begin(), m_sliders.end(),
                     [&slider](const std::shared_ptr<RUXSlider>& s) { return s.get() == &slider; });
    if (!m_transformation || found == m_sliders.end()) {
        return;
    }
    const RUXParameter& parameter = m_parameters[std::size_t(found - m_sliders.begin())];
    // The slider's own value is read rather than the argument: it is the clamped, snapped one.
    const double value = RUXValueAtSliderFraction(parameter, fractionOfPosition(slider.currentValue()));
    parameter.set(*m_transformation, RUXParameterValue{{value}, {}});
    showPreview();
}

void RUXSlidersViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXSlidersViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}
