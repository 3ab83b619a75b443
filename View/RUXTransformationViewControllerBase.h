#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Export.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Toolkit/Label.h>
#include <Toolkit/ViewController.h>
#include <memory>
#include <string>

// What every tool screen shares: the editor's configuration, edit manager and renderer, a black
// background, a hidden status bar, the title band and the fixed horizontal bands of the layout.
// A tool screen edits a private working copy of one transformation; OK commits it, Cancel drops
// it, and either dismisses the screen. Main thread only.
class RUX_API RUXTransformationViewControllerBase : public Toolkit::ViewController {
public:
    const std::shared_ptr<RUXImageEditorConfigurationProtocol>& configuration() const {
        return m_configuration;
    }
    void setConfiguration(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration) {
        m_configuration = std::move(configuration);
    }
    const std::shared_ptr<RUXEditManager>& editManager() const { return m_editManager; }
    void setEditManager(std::shared_ptr<RUXEditManager> editManager) {
        m_editManager = std::move(editManager);
    }
    const std::shared_ptr<RUXImageRenderer>& imageRenderer() const { return m_imageRenderer; }
    void setImageRenderer(std::shared_ptr<RUXImageRenderer> renderer) {
        m_imageRenderer = std::move(renderer);
    }

    // The title text; the first call adds the title band to the screen's view (loading the view),
    // on top of everything added before. Never nullptr.
    const std::shared_ptr<Toolkit::Label>& titleLabel();
    // Sets the controller's title and shows it in the title band (creating the band).
    void setTitle(const std::string& title) override;

    // The four bands, from the view's current frame (W × H points): title (0, 0, W, 44), image
    // (0, 44, W, H − 172), control band (0, H − 128, W, 80), OK/Cancel bar (0, H − 48, W, 48).
    Graphics::Rect rectForTitleView();
    Graphics::Rect rectForImageView();
    Graphics::Rect rectForFilterBar();
    Graphics::Rect rectForToolbar();

    // A view as large as the window the screen is presented in, so that the bands are laid out at
    // their final size when the view loads (320 × 480 when not presented).
    void loadView() override;
    void viewDidLoad() override;
    bool prefersStatusBarHidden() const override { return true; }

protected:
    RUXTransformationViewControllerBase(std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
                                        std::shared_ptr<RUXEditManager> editManager,
                                        std::shared_ptr<RUXImageRenderer> imageRenderer);

    // The configuration's display name for transformation, or "" when there is none.
    std::string titleForTransformation(const RUXImageTransformation* transformation) const;
    // The working copy of a concrete screen: the edit manager's copy of the committed transformation
    // of that class (or a fresh default one), as the class T; nullptr without an edit manager.
    template <class T>
    std::shared_ptr<T> workingCopyOfClass(const RUXClass& transformationClass) const {
        if (!m_editManager) {
            return nullptr;
        }
        return std::dynamic_pointer_cast<T>(
            m_editManager->getOrCreateTransformationWithClass(transformationClass));
    }
    // OK: commits the working copy (when there is one), then leaves without animation.
    void commitAndDismiss(const RUXTransformationPtr& transformation);
    // Cancel: leaves without animation; the working copy goes with the screen.
    void dismiss();
    // this, typed as one of the interfaces a concrete screen implements, for the views that hold
    // their delegate weakly.
    template <class Interface>
    std::shared_ptr<Interface> sharedAs() {
        return std::dynamic_pointer_cast<Interface>(shared_from_this());
    }

private:
    std::shared_ptr<RUXImageEditorConfigurationProtocol> m_configuration;
    std::shared_ptr<RUXEditManager> m_editManager;
    std::shared_ptr<RUXImageRenderer> m_imageRenderer;
    std::shared_ptr<Toolkit::Label> m_titleLabel;
};
