#pragma once

#include <View/RUXImageEditorViewController.h>

namespace RuxSoak {

// The host's side: saves and cancels are counted, the pictures dropped.
class DiscardingDelegate : public RUXImageEditorViewControllerDelegate {
public:
    void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController&, std::shared_ptr<const Graphics::BitmapImage> image) override {
        ++(image ? saves : failedSaves);
    }
    void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController&) override { ++cancels; }

    long saves = 0;
    long failedSaves = 0;
    long cancels = 0;
};

} // namespace RuxSoak
