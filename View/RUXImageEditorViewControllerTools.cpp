// Opening the tool screens from the toolbar.

#include <View/RUXBlurViewController.h>
#include <View/RUXCropViewController.h>
#include <View/RUXImageEditorViewController.h>
#include <View/RUXRotateViewController.h>
#include <View/RUXScalarTransformationViewControllerBase.h>

template <class Screen>
void RUXImageEditorViewController::showToolScreen() {
    // A finger that was already on another tool button when this screen opened a tool screen may
    // still lift inside it: one tool screen at a time, so that press is dropped.
    if (presentedViewController()) {
        return;
    }
    // The presentation keeps the tool screen until it dismisses itself; closing it makes this
    // screen appear again, which re-reads the edit manager.
    presentViewController(Screen::createWithConfiguration(m_configuration, m_editManager, m_imageRenderer),
                          Toolkit::Animated::No);
}

void RUXImageEditorViewController::toolbarDidPressRotate(RUXToolbar&) {
    showToolScreen<RUXRotateViewController>();
}
void RUXImageEditorViewController::toolbarDidPressCrop(RUXToolbar&) {
    showToolScreen<RUXCropViewController>();
}
void RUXImageEditorViewController::toolbarDidPressBrightness(RUXToolbar&) {
    showToolScreen<RUXBrightnessViewController>();
}
void RUXImageEditorViewController::toolbarDidPressSaturation(RUXToolbar&) {
    showToolScreen<RUXSaturationViewController>();
}
void RUXImageEditorViewController::toolbarDidPressContrast(RUXToolbar&) {
    showToolScreen<RUXContrastViewController>();
}
void RUXImageEditorViewController::toolbarDidPressBlur(RUXToolbar&) {
    showToolScreen<RUXBlurViewController>();
}
