// Opening the tool screens from the toolbar.

#include <View/RUXImageEditorViewController.h>

// FIXME: the tool screens have not landed yet; until they do, the tool buttons open nothing.
void RUXImageEditorViewController::toolbarDidPressRotate(RUXToolbar&) {}
void RUXImageEditorViewController::toolbarDidPressCrop(RUXToolbar&) {}
void RUXImageEditorViewController::toolbarDidPressBrightness(RUXToolbar&) {}
void RUXImageEditorViewController::toolbarDidPressSaturation(RUXToolbar&) {}
void RUXImageEditorViewController::toolbarDidPressContrast(RUXToolbar&) {}
void RUXImageEditorViewController::toolbarDidPressBlur(RUXToolbar&) {}
