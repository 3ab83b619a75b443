#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Toolkit/Button.h>
#include <View/RUXFilterBar.h>
#include <View/RUXImageEditorViewController.h>
#include <View/RUXImageView.h>
#include <View/RUXToolScreens.h>
#include <View/RUXToolbar.h>
#include <memory>
#include <string>

// The editor's main screen behind the host's RUXImageEditorViewController: its own top bar (back, undo, redo,
// save), the photo with every committed edit, the strip of looks and the strip of tools. It owns
// the edit manager and the renderer and lends both to the tool screens it opens; whenever it
// appears again (after a tool screen) it re-reads everything from the edit manager. Holding a
// finger on the photo shows it with only its crop, turns and flips. Inside a navigation
// controller it hides the bar while shown and restores the bar's state when it leaves. Main
// thread only, except where noted.
class RUX_API RUXMainViewController final : public RUXImageEditorViewController,
                                            public RUXImageViewDelegate,
                                            public RUXToolbarDelegate,
                                            public RUXFilterBarDelegate,
                                            public RUXPreviewImageRenderer {
public:
    // What RUXImageEditorViewController::create makes, with its inner parts reachable. Never nullptr.
    // The caller owns the screen.
    static std::shared_ptr<RUXMainViewController>
    create(std::shared_ptr<const Graphics::BitmapImage> image,
           RUXOutputResolution outputResolution = RUXOutputResolution::Limited);

    const std::shared_ptr<RUXEditManager>& editManager() const override { return m_editManager; }
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
    bool imageViewDidTouchDown(RUXImageView& imageView) override;
    bool imageViewDidTouchUp(RUXImageView& imageView) override;

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
    void toolbarDidPressTool(RUXToolbar& toolbar, const RUXClass& transformationClass) override;

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

private:
    RUXMainViewController(std::shared_ptr<const Graphics::BitmapImage> image,
                          RUXOutputResolution outputResolution);

    // Presents a new tool screen of that class over this one (unless one is open already); the
    // presentation keeps it.
    template <class Screen>
    void showToolScreen();
    void showToolScreen(const RUXToolScreenMaker& make);
    void initUI();
    void setupNavigationControllerLooks();
    void configureLayout();
    std::shared_ptr<Toolkit::Button> navButtonWithTitle(const std::string& title,
                                                        void (RUXMainViewController::*action)());
    std::shared_ptr<Toolkit::Button>
    navButtonWithImage(std::shared_ptr<const Graphics::BitmapImage> image,
                       std::shared_ptr<const Graphics::BitmapImage> disableImage,
                       void (RUXMainViewController::*action)());
    std::shared_ptr<RUXMainViewController> self();

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
