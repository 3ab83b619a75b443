#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Manager/RUXEditManager.h>
#include <Toolkit/ViewController.h>
#include <Utility/RUXResourceLocation.h>
#include <memory>

class RUXImageEditorViewController;

// The host's receiver of the editor's outcome. The editor never closes itself: the host closes
// it from these. Called on the main thread.
class RUX_API RUXImageEditorViewControllerDelegate {
public:
    virtual ~RUXImageEditorViewControllerDelegate() = default;
    // Save was pressed: image is the full-resolution result (scale 1, upright), or nullptr when
    // nothing could be rendered. Sent again on every press.
    virtual void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController& editor, std::shared_ptr<const Graphics::BitmapImage> image) = 0;
    // The back button was pressed; the edit state is unchanged.
    virtual void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController& editor) = 0;
};

// The editor's main screen, the one class a host creates. The host creates it with a photo, sets a
// configuration and a delegate, and shows it (pushed on a navigation controller, or as a window's
// root); the user edits; Save and back reach the delegate, and the host then closes the screen, which
// releases the whole editor. Every call is for the main thread, which must run the main run loop.
class RUX_API RUXImageEditorViewController : public Toolkit::ViewController {
public:
    // Resizes the photo for the editor's three resolutions and starts the edit list. Never nullptr; a
    // nullptr photo gives an editor that shows and saves nothing. The caller owns the screen.
    static std::shared_ptr<RUXImageEditorViewController>
    create(std::shared_ptr<const Graphics::BitmapImage> image);

    // The screen's titles, look names and enabled tools. Set before the screen is shown; without one
    // the screen uses the sample configuration (one log line). Shared, never copied.
    const std::shared_ptr<RUXImageEditorConfigurationProtocol>& configuration() const {
        return m_configuration;
    }
    void setConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration) {
        m_configuration = std::move(configuration);
    }

    // Held weakly: the host keeps its delegate alive for as long as the screen is shown.
    std::shared_ptr<RUXImageEditorViewControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<RUXImageEditorViewControllerDelegate>& delegate) {
        m_delegate = delegate;
    }

    // The edit manager holding the photo's edits, for a host that keeps them (a recipe written beside
    // the saved picture, say): read its list or its recipe; edits committed to it show when the
    // screen next appears. Never nullptr; shared with the screen.
    virtual const std::shared_ptr<RUXEditManager>& editManager() const = 0;

    ~RUXImageEditorViewController() override;

protected:
    RUXImageEditorViewController() = default;

    std::shared_ptr<RUXImageEditorConfigurationProtocol> m_configuration;
    std::weak_ptr<RUXImageEditorViewControllerDelegate> m_delegate;
};
