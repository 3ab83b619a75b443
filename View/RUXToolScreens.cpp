#include <Foundation/Log.h>
#include <Transformation/RUXExposureTransformation.h>
#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <Transformation/RUXToneCurveTransformation.h>
#include <Transformation/RUXVibranceTransformation.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <Transformation/RUXWhiteBalanceTransformation.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXSlidersViewController.h>
#include <View/RUXStraightenViewController.h>
#include <View/RUXToneCurveViewController.h>
#include <View/RUXToolScreens.h>
#include <View/RUXWhiteBalanceViewController.h>
#include <list>

namespace {

// A screen for a one-value edit that has none of its own.
RUXToolScreenMaker adjustmentScreen(const RUXClass& transformationClass) {
    return [&transformationClass](std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                                  std::shared_ptr<RUXEditManager> editManager,
                                  std::shared_ptr<RUXImageRenderer> imageRenderer)
               -> std::shared_ptr<RUXTransformationViewControllerBase> {
        return RUXAdjustmentViewController::createWithConfiguration(
            std::move(configuration), std::move(editManager), std::move(imageRenderer), transformationClass);
    };
}

// A slider for each value the class declares.
RUXToolScreenMaker slidersScreen(const RUXClass& transformationClass) {
    return [&transformationClass](std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                                  std::shared_ptr<RUXEditManager> editManager,
                                  std::shared_ptr<RUXImageRenderer> imageRenderer)
               -> std::shared_ptr<RUXTransformationViewControllerBase> {
        return RUXSlidersViewController::createWithConfiguration(
            std::move(configuration), std::move(editManager), std::move(imageRenderer), transformationClass);
    };
}

// A screen class of its own, made by its createWithConfiguration.
template <class Screen>
RUXToolScreenMaker screenOfClass() {
    return [](std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
              std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer)
               -> std::shared_ptr<RUXTransformationViewControllerBase> {
        return Screen::createWithConfiguration(std::move(configuration), std::move(editManager),
                                               std::move(imageRenderer));
    };
}

// The editor's own tools beyond the built-in six, one entry each.
const std::vector<RUXToolScreen>& editorToolScreens() {
    static const std::vector<RUXToolScreen> screens = [] {
        std::vector<RUXToolScreen> s;
        // One line a tool.
        s.push_back({&RUXStraightenTransformation::classDescriptor(), "ic_straighten",
                     "ic_straighten_pressdown", screenOfClass<RUXStraightenViewController>()});
        s.push_back({&RUXWhiteBalanceTransformation::classDescriptor(), "ic_white_balance",
                     "ic_white_balance_pressdown", screenOfClass<RUXWhiteBalanceViewController>()});
        s.push_back({&RUXExposureTransformation::classDescriptor(), "ic_exposure", "ic_exposure_pressdown",
                     adjustmentScreen(RUXExposureTransformation::classDescriptor())});
        s.push_back({&RUXVibranceTransformation::classDescriptor(), "ic_vibrance", "ic_vibrance_pressdown",
                     adjustmentScreen(RUXVibranceTransformation::classDescriptor())});
        s.push_back({&RUXToneCurveTransformation::classDescriptor(), "ic_tone_curve",
                     "ic_tone_curve_pressdown", screenOfClass<RUXToneCurveViewController>()});
        s.push_back({&RUXVignetteTransformation::classDescriptor(), "ic_vignette", "ic_vignette_pressdown",
                     slidersScreen(RUXVignetteTransformation::classDescriptor())});
        s.push_back({&RUXHighlightsShadowsTransformation::classDescriptor(), "ic_highlights_shadows",
                     "ic_highlights_shadows_pressdown",
                     slidersScreen(RUXHighlightsShadowsTransformation::classDescriptor())});
        s.push_back({&RUXSharpenTransformation::classDescriptor(), "ic_sharpen", "ic_sharpen_pressdown",
                     slidersScreen(RUXSharpenTransformation::classDescriptor())});
        return s;
    }();
    return screens;
}

// The host's, newest first; std::list keeps each entry where its registration points.
std::list<RUXToolScreen>& hostToolScreens() {
    static std::list<RUXToolScreen> screens;
    return screens;
}

} // namespace

const RUXToolScreen* RUXToolScreenForClass(const RUXClass& transformationClass) {
    for (const RUXToolScreen& screen : hostToolScreens()) {
        if (screen.transformationClass == &transformationClass) {
            return &screen;
        }
    }
    for (const RUXToolScreen& screen : editorToolScreens()) {
        if (screen.transformationClass == &transformationClass) {
            return &screen;
        }
    }
    return nullptr;
}

RUXToolScreenRegistration::RUXToolScreenRegistration(RUXToolScreen screen) {
    if (!screen.transformationClass || !screen.make) {
        Foundation::log("A tool screen needs a class and a maker; it is not registered");
        return;
    }
    hostToolScreens().push_front(std::move(screen));
    m_screen = &hostToolScreens().front();
}

RUXToolScreenRegistration::~RUXToolScreenRegistration() {
    if (m_screen) {
        hostToolScreens().remove_if([this](const RUXToolScreen& screen) { return &screen == m_screen; });
    }
}
