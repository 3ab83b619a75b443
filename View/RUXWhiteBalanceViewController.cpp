#include <Graphics/Bitmap.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXWhiteBalanceViewController.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// Both sliders show their travel as −100 … 100, as the one-value screens do.
constexpr double kSliderMin = -100;
constexpr double kSliderMax = 100;
// The tint slider sits above the control band, so the picture gives up that much height.
constexpr double kTintSliderHeight = 80;
constexpr double kDropperWidth = 72;
// The dropper reads the mean of a square this many pixels wide, so that noise does not decide.
constexpr int kDropperSpan = 5;

const RUXParameter& temperatureParameter() {
    return RUXWhiteBalanceTransformation::declaration().parameters.at(0);
}

const RUXParameter& tintParameter() {
    return RUXWhiteBalanceTransformation::declaration().parameters.at(1);
}

double fractionOf(const RUXSlider& slider) {
    return (slider.currentValue() - slider.minValue()) / (slider.maxValue() - slider.minValue());
}

double decodeSrgb(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

} // namespace

std::shared_ptr<RUXWhiteBalanceViewController> RUXWhiteBalanceViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    std::shared_ptr<RUXWhiteBalanceViewController> screen(new RUXWhiteBalanceViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    screen->m_transformation = screen->workingCopyOfClass<RUXWhiteBalanceTransformation>(
        RUXWhiteBalanceTransformation::classDescriptor());
    return screen;
}

void RUXWhiteBalanceViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    view()->setBackgroundColor(RUXColorWithHexCode(0x000000));
}

void RUXWhiteBalanceViewController::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    setTitle(titleForTransformation(m_transformation.get()));
    showLastImage();
}

void RUXWhiteBalanceViewController::setupSubviews() {
    // The title band first, so that the dropper stays above it.
    const Graphics::Rect titleRect = rectForTitleView();
    titleLabel();

    Graphics::Rect imageRect = rectForImageView();
    imageRect.size.height -= kTintSliderHeight;
    m_imageView = RUXImageView::create(imageRect, imageRenderer());
    m_imageView->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth |
                                     Toolkit::AutoresizingMask::FlexibleHeight);
    m_imageView->setDelegate(sharedAs<RUXImageViewDelegate>());
    view()->addSubview(m_imageView);
    auto self = std::static_pointer_cast<RUXWhiteBalanceViewController>(shared_from_this());
    m_tapGesture = Toolkit::TapGestureRecognizer::create();
    m_tapGesture->addTarget(self, &RUXWhiteBalanceViewController::didTapImageView);
    m_tapGesture->setDelegate(sharedAs<Toolkit::GestureRecognizerDelegate>());
    m_imageView->addGestureRecognizer(m_tapGesture);

    const Graphics::Rect controlRect = rectForFilterBar();
    m_tintSlider = RUXSlider::create({controlRect.origin.x, controlRect.origin.y - kTintSliderHeight,
                                      controlRect.size.width, kTintSliderHeight});
    m_temperatureSlider = RUXSlider::create(controlRect);
    for (const auto& slider : {m_tintSlider, m_temperatureSlider}) {
        // Keeps the control bands above the bar if the screen grows after loading.
        slider->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth |
                                    Toolkit::AutoresizingMask::FlexibleTopMargin);
        slider->setDelegate(sharedAs<RUXSliderDelegate>());
        slider->setMinValue(kSliderMin);
        slider->setMaxValue(kSliderMax);
        view()->addSubview(slider);
    }
    // The thumbs show kelvin and the tint, not their travel.
    m_temperatureSlider->setValueText([](double position) {
        const double kelvin = RUXValueAtSliderFraction(temperatureParameter(),
                                                       (position - kSliderMin) / (kSliderMax - kSliderMin));
        return std::to_string(std::lround(kelvin)) + " K";
    });
    m_tintSlider->setValueText([](double position) {
        const double tint =
            RUXValueAtSliderFraction(tintParameter(), (position - kSliderMin) / (kSliderMax - kSliderMin));
        char text[16];
        std::snprintf(text, sizeof text, "%+ld", std::lround(tint));
        return std::string(std::lround(tint) == 0 ? "0" : text);
    });
    // 6504 K is the picture as it is: the temperature's centre mark and snap stand there, not at
    // the middle of its travel.
    m_temperatureSlider->setRestValue(
        kSliderMin + RUXSliderFractionOfValue(temperatureParameter(), temperatureParameter().neutralValue) *
                         (kSliderMax - kSliderMin));
    syncSlidersWithTransformation();

    m_dropperButton = Toolkit::Button::create(
        Toolkit::ButtonType::Custom,
        {titleRect.size.width - kDropperWidth, titleRect.origin.y, kDropperWidth, titleRect.size.height});
    m_dropperButton->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleLeftMargin);
    m_dropperButton->setTitle("Dropper", Toolkit::ControlState::Normal);
    m_dropperButton->setTitleColor(RUXColorWithHexCode(0x5A5A5A), Toolkit::ControlState::Normal);
    m_dropperButton->setTitleColor(RUXColorWithHexCode(0xFF5722), Toolkit::ControlState::Selected);
    m_dropperButton->addTarget(self, &RUXWhiteBalanceViewController::didPressDropper,
                               Toolkit::ControlEvent::TouchUpInside);
    view()->addSubview(m_dropperButton);

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

void RUXWhiteBalanceViewController::showLastImage() {
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXWhiteBalanceViewController::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

void RUXWhiteBalanceViewController::syncSlidersWithTransformation() {
    if (!m_transformation || !m_temperatureSlider || !m_tintSlider) {
        return;
    }
    const RUXWhiteBalanceSetting s = m_transformation->setting();
    auto position = [](double fraction) { return kSliderMin + fraction * (kSliderMax - kSliderMin); };
    m_temperatureSlider->setCurrentValue(
        position(RUXSliderFractionOfValue(temperatureParameter(), s.temperature)));
    m_tintSlider->setCurrentValue(position(RUXSliderFractionOfValue(tintParameter(), s.tint)));
}

void RUXWhiteBalanceViewController::sliderDidChangeValue(RUXSlider& slider, double) {
    if (!m_transformation) {
        return;
    }
    // The slider's own value is read rather than the argument: it is the clamped, snapped one.
    if (&slider == m_temperatureSlider.get()) {
        // Snapped to the rest value, the temperature is the neutral one exactly, not its round trip
        // through mired.
        m_transformation->setTemperature(
            slider.currentValue() == slider.restValue()
                ? temperatureParameter().neutralValue
                : RUXValueAtSliderFraction(temperatureParameter(), fractionOf(slider)));
    } else if (&slider == m_tintSlider.get()) {
        m_transformation->setTint(RUXValueAtSliderFraction(tintParameter(), fractionOf(slider)));
    } else {
        return;
    }
    showPreview();
}

void RUXWhiteBalanceViewController::didPressDropper() {
    if (m_dropperButton) {
        m_dropperButton->setSelected(!m_dropperButton->isSelected());
    }
}

void RUXWhiteBalanceViewController::didTapImageView(Toolkit::TapGestureRecognizer& recognizer) {
    if (isDropperOn() && m_imageView) {
        pickNeutralAt(recognizer.locationInView(m_imageView));
    }
}

std::optional<std::array<double, 3>>
RUXWhiteBalanceViewController::colorBeforeWhiteBalanceAt(Graphics::Point pointInImageView) const {
    if (!m_imageView || !editManager() || !imageRenderer()) {
        return std::nullopt;
    }
    const Graphics::Rect shown = m_imageView->imageRect();
    if (shown.isEmpty() || !shown.containsPoint(pointInImageView)) {
        return std::nullopt;
    }
    // The picture as the white balance receives it: the committed edits that come before it, which
    // are the geometry, so the shown picture and this one share their frame.
    std::vector<const RUXClass*> before;
    for (const RUXTransformationPtr& t : editManager()->transformations()) {
        if (t->sortOrder() < RUXWhiteBalanceTransformation::declaration().sortOrder) {
            before.push_back(&t->transformationClass());
        }
    }
    const auto picture =
        imageRenderer()->renderedImage(editManager()->imageWithTransformationClasses(before));
    const std::shared_ptr<const Graphics::Bitmap> bitmap = picture ? picture->bitmap() : nullptr;
    if (!bitmap || bitmap->width() <= 0 || bitmap->height() <= 0) {
        return std::nullopt;
    }
    const double u = (pointInImageView.x - shown.origin.x) / shown.size.width;
    const double v = (pointInImageView.y - shown.origin.y) / shown.size.height;
    const int cx = std::clamp(int(u * bitmap->width()), 0, bitmap->width() - 1);
    const int cy = std::clamp(int(v * bitmap->height()), 0, bitmap->height() - 1);
    // Mean of the straight linear colour of the opaque enough pixels around the point.
    std::array<double, 3> sum{};
    int count = 0;
    for (int y = std::max(0, cy - kDropperSpan / 2);
         y <= std::min(bitmap->height() - 1, cy + kDropperSpan / 2); ++y) {
        for (int x = std::max(0, cx - kDropperSpan / 2);
             x <= std::min(bitmap->width() - 1, cx + kDropperSpan / 2); ++x) {
            const std::uint8_t* p = bitmap->row(y) + 4 * x;
            if (p[3] == 0) {
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                sum[c] += decodeSrgb(std::min(1.0, double(p[c]) / p[3]));
            }
            ++count;
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    for (double& c : sum) {
        c /= count;
    }
    return sum;
}

bool RUXWhiteBalanceViewController::pickNeutralAt(Graphics::Point pointInImageView) {
    if (!m_transformation) {
        return false;
    }
    const auto colour = colorBeforeWhiteBalanceAt(pointInImageView);
    const auto setting =
        colour ? RUXWhiteBalanceSettingForColor((*colour)[0], (*colour)[1], (*colour)[2]) : std::nullopt;
    if (!setting) {
        return false;
    }
    m_transformation->setSetting(*setting);
    syncSlidersWithTransformation();
    showPreview();
    return true;
}

bool RUXWhiteBalanceViewController::imageViewDidTouchDown(RUXImageView&) {
    // With the dropper on, a touch picks rather than compares.
    if (isDropperOn() || !m_imageView || !editManager()) {
        return false;
    }
    m_imageView->renderAndShowImageAsync(
        editManager()->imageWithAllTransformationsExcept(RUXWhiteBalanceTransformation::classDescriptor()));
    return true;
}

bool RUXWhiteBalanceViewController::imageViewDidTouchUp(RUXImageView&) {
    if (isDropperOn()) {
        return false;
    }
    showPreview();
    return true;
}

void RUXWhiteBalanceViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXWhiteBalanceViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}
