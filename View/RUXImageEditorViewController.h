#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Graphics/BitmapImage.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Toolkit/Button.h>
#include <Toolkit/ViewController.h>
#include <View/RUXFilterBar.h>
#include <View/RUXImageView.h>
#include <View/RUXToolbar.h>
#include <memory>
#include <string>

class RUXImageEditorViewController;

// The host's receiver of the editor's outcome. The editor never closes itself: the host closes
// it from these. Main thread.
class RUXImageEditorViewControllerDelegate {
public:
    virtual ~RUXImageEditorViewControllerDelegate() = default;
    // Save was pressed: image is the full-resolution result (scale 1, upright), or nullptr when
    // nothing could be rendered. Sent again on every press.
    virtual void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController& editor, std::shared_ptr<const Graphics::BitmapImage> image) = 0;
    // The back button was pressed; the edit state is unchanged.
    virtual void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController& editor) = 0;
};

// The editor's main screen and the only class a host creates: its own top bar (back, undo, redo,
// save), the photo with every committed edit, the strip of looks and the strip of tools. It owns
// the edit manager and the renderer and lends both to the tool screens it opens; whenever it
// appears again (after a tool screen) it re-reads everything from the edit manager. Holding a
// finger on the photo shows it with only its crop, turns and flips. Inside a navigation
// controller it hides the bar while shown and restores the bar's state when it leaves. Main
// thread only, except where noted.
class RUXImageEditorViewController : public Toolkit::ViewController,
                                     public RUXImageViewDelegate,
                                     public RUXToolbarDelegate,
                                     public RUXFilterBarDelegate,
                                     public RUXPreviewImageRenderer {
public:
    // Resizes the photo for the three resolutions and starts the edit list. Never nullptr; a
    // nullptr photo gives an editor that shows and saves nothing. The caller owns the screen.
    static std::shared_ptr<RUXImageEditorViewController>
    create(std::shared_ptr<const Graphics::BitmapImage> image);
    // The same, with Save rendering at the given resolution (Limited is what create(image) does).
    static std::shared_ptr<RUXImageEditorViewController>
    create(std::shared_ptr<const Graphics::BitmapImage> image, RUXOutputResolution outputResolution);

    // Set before the view loads; without one, the view loads with the sample configuration (one
    // log line).
    const std::shared_ptr<RUXImageEditorConfigurationProtocol>& configuration() const {
        return m_configuration;
    }
    void setConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration) {
        m_configuration = std::move(configuration);
    }
    std::shared_ptr<RUXImageEditorViewControllerDelegate> delegate() const { return m_delegate.lock(); }
    // Held weakly.
    void setDelegate(const std::shared_ptr<RUXImageEditorViewControllerDelegate>& delegate) {
        m_delegate = delegate;
    }

    const std::shared_ptr<RUXEditManager>& editManager() const { return m_editManager; }
    const std::shared_ptr<RUXImageRenderer>& imageRenderer() const { return m_imageRenderer; }
    // nullptr until the view has loaded.
    const std::shared_ptr<RUXImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<RUXToolbar>& toolbar() const { return m_toolbar; }
    const std::shared_ptr<RUXFilterBar>& filterBar() const { return m_filterBar; }
    const std::shared_ptr<Toolkit::View>& fakeNavigationBar() const { return m_fakeNavigationBar; }
    const std::shared_ptr<Toolkit::Button>& backButton() const { return m_backButton; }
    const std::shared_ptr<Toolkit::Button>& nextButton() const { return m_nextButton; }
    const std::shared_ptr<Toolkit::Button>& undoButton() const { return m_undoButton; }
    const std::shared_ptr<Toolkit::Button>& redoButton() const { return m_redoButton; }
    // The enclosing navigation bar's hidden state when the screen last began to appear.
    bool shouldHideNavBar() const { return m_shouldHideNavBar; }

    // An image of size points (scale 1) filled with colour; nullptr for an unusable size. Any
    // thread; the caller owns it.
    static std::shared_ptr<Graphics::BitmapImage> imageForUIColor(Toolkit::Color colour, Graphics::Size size);

    void viewDidLoad() override;
    void viewWillAppear(Toolkit::Animated animated) override;
    void viewWillDisappear(Toolkit::Animated animated) override;
    void viewDidLayoutSubviews() override;
    bool prefersStatusBarHidden() const override { return true; }

    // Shows the photo with only its geometric edits while a finger rests on it.
    bool respondsToImageViewDidTouchDown() const override { return true; }
    void imageViewDidTouchDown(RUXImageView& imageView) override;
    bool respondsToImageViewDidTouchUp() const override { return true; }
    void imageViewDidTouchUp(RUXImageView& imageView) override;

    // Commits the bar's own object, so that the highlight later finds it by identity.
    void filterBarDidSelectFilter(RUXFilterBar& bar, const RUXTransformationPtr& filter) override;
    // The look's thumbnail over the committed geometry. Any thread: the filter strip calls it
    // from pool threads.
    std::shared_ptr<const Graphics::BitmapImage>
    thumbnailPreviewImageForTransformation(const RUXTransformationPtr& transformation) override;

    // Each opens its tool screen modally.
    void toolbarDidPressRotate(RUXToolbar& toolbar) override;
    void toolbarDidPressCrop(RUXToolbar& toolbar) override;
    void toolbarDidPressBrightness(RUXToolbar& toolbar) override;
    void toolbarDidPressSaturation(RUXToolbar& toolbar) override;
    void toolbarDidPressContrast(RUXToolbar& toolbar) override;
    void toolbarDidPressBlur(RUXToolbar& toolbar) override;

    // The top bar's actions.
    void didPressBackButton();
    void didPressNextButton();
    void didPressUndoButton();
    void didPressRedoButton();

    // Re-reads the photo, the look highlight and the undo and redo buttons from the edit manager.
    void syncStateWithEditManager();
    void showCommittedImage();
    void showOriginalImage();
    void refreshUndoRedoButtons();

protected:
    RUXImageEditorViewController(std::shared_ptr<const Graphics::BitmapImage> image,
                                 RUXOutputResolution outputResolution);

private:
    // Presents a new tool screen of that class over this one (unless one is open already); the
    // presentation keeps it.
    template <class Screen>
    void showToolScreen();
    void initUI();
    void setupNavigationControllerLooks();
    void configureLayout();
    std::shared_ptr<Toolkit::Button> navButtonWithTitle(const std::string& title,
                                                        void (RUXImageEditorViewController::*action)());
    std::shared_ptr<Toolkit::Button>
    navButtonWithImage(std::shared_ptr<const Graphics::BitmapImage> image,
                       std::shared_ptr<const Graphics::BitmapImage> disableImage,
                       void (RUXImageEditorViewController::*action)());
    std::shared_ptr<RUXImageEditorViewController> self();

    std::shared_ptr<RUXImageEditorConfigurationProtocol> m_configuration;
    std::weak_ptr<RUXImageEditorViewControllerDelegate> m_delegate;
    std::shared_ptr<RUXEditManager> m_editManager;
    std::shared_ptr<RUXImageRenderer> m_imageRenderer;
    std::shared_ptr<RUXImageView> m_imageView;
    std::shared_ptr<RUXToolbar> m_toolbar;
    std::shared_ptr<RUXFilterBar> m_filterBar;
    std::shared_ptr<Toolkit::View> m_fakeNavigationBar;
    std::shared_ptr<Toolkit::Button> m_backButton;
    std::shared_ptr<Toolkit::Button> m_nextButton;
    std::shared_ptr<Toolkit::Button> m_undoButton;
    std::shared_ptr<Toolkit::Button> m_redoButton;
    bool m_shouldHideNavBar = false;
};
