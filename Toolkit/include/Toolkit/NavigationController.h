#pragma once

#include <Toolkit/ViewController.h>

namespace Toolkit {

class Label;

// A container that shows one root screen under a navigation bar carrying the screen's title. The
// bar can be hidden, at once or sliding up out of view; the root screen's view fills the space
// below the bar, or the whole container while the bar is hidden. Main thread only.
class NavigationController : public ViewController {
public:
    static constexpr double navigationBarHeight = 44;

    // nullptr root gives an empty container (logged once).
    static std::shared_ptr<NavigationController> create(const std::shared_ptr<ViewController>& root);

    std::shared_ptr<ViewController> rootViewController() const { return m_root; }
    // The screen on top; with only a root screen, the root screen.
    std::shared_ptr<ViewController> topViewController() const { return m_root; }

    // The bar, made with the container's view; nullptr before the view is loaded. Its hidden
    // flag follows isNavigationBarHidden() once any animation is over.
    std::shared_ptr<View> navigationBar() const { return m_bar; }
    bool isNavigationBarHidden() const { return m_barHidden; }
    // The state changes at once (isNavigationBarHidden answers the new value); with Animated::Yes
    // the bar slides over a fifth of a second, and the root screen's view grows or shrinks with it.
    void setNavigationBarHidden(bool hidden, Animated animated = Animated::No);

    bool prefersStatusBarHidden() const override;

    void loadView() override;
    void viewDidLoad() override;

private:
    friend class ViewController;
    class ContainerView;
    NavigationController() = default;
    // The title shown is the top screen's; called when a child's title changes.
    void setNeedsTitleUpdate();
    void layoutContainer();

    std::shared_ptr<ViewController> m_root;
    std::shared_ptr<View> m_bar;
    std::shared_ptr<Label> m_titleLabel;
    bool m_barHidden = false;
    // How far the bar stands out of view: 0 shown, 1 hidden; between the two while sliding.
    double m_barRetraction = 0;
    unsigned m_barAnimation = 0; // counts bar animations, so an overtaken one leaves the state alone
};

} // namespace Toolkit
