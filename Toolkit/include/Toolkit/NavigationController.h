#pragma once

#include <Foundation/Export.h>
#include <Toolkit/ViewController.h>

namespace Toolkit {

class Button;
class Label;

// A container that shows a stack of screens under a navigation bar carrying the top screen's
// title (and, above the root, a back button that pops). Pushing slides the new screen in from the
// right, popping slides it out again. The bar can be hidden, at once or sliding up out of view;
// the top screen's view fills the space below the bar, or the whole container while the bar is
// hidden. Main thread only: pushing, popping and hiding the bar from another thread do nothing
// but log one line.
class RUX_API NavigationController : public ViewController {
public:
    static constexpr double navigationBarHeight = 44;

    // nullptr root gives an empty container (logged once); the first push then becomes the root.
    static std::shared_ptr<NavigationController> create(const std::shared_ptr<ViewController>& root);

    std::shared_ptr<ViewController> rootViewController() const {
        return m_stack.empty() ? nullptr : m_stack.front();
    }
    // The screen on top (it changes as soon as a push or pop starts); nullptr when empty.
    std::shared_ptr<ViewController> topViewController() const {
        return m_stack.empty() ? nullptr : m_stack.back();
    }
    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return m_stack; }

    // Puts controller on top. The leaving and arriving screens get their appearance callbacks
    // while the container is shown. Refused with one log line when controller is nullptr, already
    // a child or presented somewhere, or while another push or pop is sliding.
    void pushViewController(const std::shared_ptr<ViewController>& controller, Animated animated);
    // Takes the top screen off and answers it; nullptr (nothing changes) with only the root left or
    // while another push or pop is sliding.
    std::shared_ptr<ViewController> popViewController(Animated animated);

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
    // Slides between the two screens' views; finish runs when they stand in place.
    enum class SlideDirection { Push, Pop };
    void slide(SlideDirection direction, Animated animated, std::function<void()> finish);

    std::vector<std::shared_ptr<ViewController>> m_stack;
    std::shared_ptr<View> m_bar;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<Button> m_backButton;
    // While a push or pop slides: the screen coming in and the one going out, and how far along.
    std::shared_ptr<ViewController> m_incoming;
    std::shared_ptr<ViewController> m_outgoing;
    bool m_pushing = false;
    double m_slideProgress = 0;
    bool m_barHidden = false;
    // How far the bar stands out of view: 0 shown, 1 hidden; between the two while sliding.
    double m_barRetraction = 0;
    unsigned m_barAnimation = 0; // counts bar animations, so an overtaken one leaves the state alone
};

} // namespace Toolkit
