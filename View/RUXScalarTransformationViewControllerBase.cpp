#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXTransformationUtility.h>
#include <cmath>
#include <cstdio>

namespace {
// The slider shows every scalar range as −100 … 100, so that each neutral value sits on the centre
// mark and reads "0".
constexpr double kSliderMin = -100;
constexpr double kSliderMax = 100;
} // namespace

RUXScalarTransformationViewControllerBase::RUXScalarTransformationViewControllerBase(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer,
    const RUXClass& transformationClass)
    : RUXTransformationViewControllerBase(std::move(configuration), std::move(editManager),
                                          std::move(imageRenderer)) {
    setTransformation(workingCopyOfClass<RUXScalarTransformation>(transformationClass));
}

void RUXScalarTransformationViewControllerBase::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    view()->setBackgroundColor(RUXColorWithHexCode(0x000000));
}

void RUXScalarTransformationViewControllerBase::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    setTitle(titleForTransformation(m_transformation.get()));
    showLastImage();
}

void RUXScalarTransformationViewControllerBase::setupSubviews() {
    m_imageView = RUXImageView::create(rectForImageView(), imageRenderer());
    m_imageView->setDelegate(sharedAs<RUXImageViewDelegate>());
    view()->addSubview(m_imageView);

    m_slider = RUXSlider::create(rectForFilterBar());
    // Keeps the control band above the bar if the screen grows after loading.
    m_slider->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth |
                                  Toolkit::AutoresizingMask::FlexibleTopMargin);
    m_slider->setDelegate(sharedAs<RUXSliderDelegate>());
    view()->addSubview(m_slider);
    syncSliderWithTransformation();

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

void RUXScalarTransformationViewControllerBase::showLastImage() {
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXScalarTransformationViewControllerBase::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

void RUXScalarTransformationViewControllerBase::showImageWithoutTransformation() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->imageWithAllTransformationsExcept(m_transformation->transformationClass()));
    }
}

void RUXScalarTransformationViewControllerBase::syncSliderWithTransformation() {
    if (!m_slider) {
        return;
    }
    m_slider->setMinValue(kSliderMin);
    m_slider->setMaxValue(kSliderMax);
    if (!m_transformation) {
        return;
    }
    // The declared mapping, in the transformation's single precision, so that a value read back
    // from the slider lands on the same float.
    const float position =
        float(RUXSliderFractionOfScalarTransformation(*m_transformation)) * 200.0f - 100.0f;
    m_slider->setCurrentValue(position);
}

bool RUXScalarTransformationViewControllerBase::imageViewDidTouchDown(RUXImageView&) {
    showImageWithoutTransformation();
    return true;
}

bool RUXScalarTransformationViewControllerBase::imageViewDidTouchUp(RUXImageView&) {
    showPreview();
    return true;
}

void RUXScalarTransformationViewControllerBase::sliderDidChangeValue(RUXSlider& slider, double) {
    if (!m_transformation) {
        return;
    }
    // The slider's own value is read rather than the argument: it is the clamped, snapped one.
    m_transformation->setValue(float(RUXScalarTransformationValueFromSlider(slider, *m_transformation)));
    showPreview();
}

void RUXScalarTransformationViewControllerBase::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXScalarTransformationViewControllerBase::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}

std::shared_ptr<RUXBrightnessViewController> RUXBrightnessViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    return std::shared_ptr<RUXBrightnessViewController>(new RUXBrightnessViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer),
        RUXBrightnessTransformation::classDescriptor()));
}

std::shared_ptr<RUXContrastViewController> RUXContrastViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    return std::shared_ptr<RUXContrastViewController>(new RUXContrastViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer),
        RUXContrastTransformation::classDescriptor()));
}

std::shared_ptr<RUXSaturationViewController> RUXSaturationViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    return std::shared_ptr<RUXSaturationViewController>(new RUXSaturationViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer),
        RUXSaturationTransformation::classDescriptor()));
}

std::shared_ptr<RUXAdjustmentViewController> RUXAdjustmentViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer,
    const RUXClass& transformationClass) {
    return std::shared_ptr<RUXAdjustmentViewController>(new RUXAdjustmentViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer), transformationClass));
}

void RUXAdjustmentViewController::viewDidLoad() {
    RUXScalarTransformationViewControllerBase::viewDidLoad();
    const RUXTransformationDeclaration* declaration =
        transformation() ? RUXTransformationRegistry::declarationOf(transformation()->transformationClass())
                         : nullptr;
    // The slider moves the transformation's one value, its declaration's first parameter (which
    // may have a key of its own, such as "amount").
    const RUXParameter* parameter =
        declaration && !declaration->parameters.empty() ? &declaration->parameters.front() : nullptr;
    if (!parameter || !slider()) {
        return;
    }
    const RUXParameter shown = *parameter;
    // The neutral value need not sit in the middle (an amount from 0 does not).
    slider()->setRestValue(kSliderMin +
                           RUXSliderFractionOfValue(shown, shown.neutralValue) * (kSliderMax - kSliderMin));
    slider()->setValueText([shown](double position) {
        const double value =
            RUXValueAtSliderFraction(shown, (position - kSliderMin) / (kSliderMax - kSliderMin));
        char text[32];
        // Two decimals, with a sign where the range has both.
        std::snprintf(text, sizeof text, shown.minValue < 0 ? "%+.2f" : "%.2f",
                      std::abs(value) < 0.005 ? 0.0 : value);
        return std::string(text);
    });
}
