// Opening the tool screens from the toolbar.

#include <View/RUXBlurViewController.h>
#include <View/RUXCropViewController.h>
#include <View/RUXMainViewController.h>
#include <View/RUXRotateViewController.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXToolScreens.h>

template <class Screen>
void RUXMainViewController::showToolScreen() {
    showToolScreen([](auto configuration, auto editManager, auto imageRenderer) {
        return Screen::createWithConfiguration(std::move(configuration), std::move(editManager),
                                               std::move(imageRenderer));
    });
}

void RUXMainViewController::showToolScreen(const RUXToolScreenMaker& make) {
    // A finger that was already on another tool button when this screen opened a tool screen may
    // still lift inside it: one tool screen at a time, so that press is dropped.
    if (presentedViewController()) {
        return;
    }
    // The presentation keeps the tool screen until it dismisses itself; closing it makes this
    // screen appear again, which re-reads the edit manager.
    presentViewController(make(m_configuration, m_editManager, m_imageRenderer), Toolkit::Animated::No);
}

void RUXMainViewController::toolbarDidPressRotate(RUXToolbar&) {
    showToolScreen<RUXRotateViewController>();
}
void RUXMainViewController::toolbarDidPressCrop(RUXToolbar&) {
    showToolScreen<RUXCropViewController>();
}
void RUXMainViewController::toolbarDidPressBrightness(RUXToolbar&) {
    showToolScreen<RUXBrightnessViewController>();
}
void RUXMainViewController::toolbarDidPressSaturation(RUXToolbar&) {
    showToolScreen<RUXSaturationViewController>();
}
void RUXMainViewController::toolbarDidPressContrast(RUXToolbar&) {
    showToolScreen<RUXContrastViewController>();
}
void RUXMainViewController::toolbarDidPressBlur(RUXToolbar&) {
    showToolScreen<RUXBlurViewController>();
}
void RUXMainViewController::toolbarDidPressTool(RUXToolbar&, const RUXClass& transformationClass) {
    if (const RUXToolScreen* screen = RUXToolScreenForClass(transformationClass)) {
        showToolScreen(screen->make);
    }
}
