#pragma once

#include <Foundation/Export.h>
#include <Toolkit/Animation.h>
#include <Toolkit/View.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Toolkit {

// Which way a screen is going in an appearance transition.
enum class AppearanceTransition { Appearing, Disappearing };

class NavigationController;

// Owns one screen's view and receives its life-cycle callbacks. Main thread only: presenting and
// dismissing from another thread do nothing but log one line.
//
// The view is made on first use: view() calls loadView() and then viewDidLoad(). The appearance
// callbacks come in pairs around every change of what the user sees. When one controller's view
// replaces another's (a modal presentation or its dismissal), the order is always: the leaving
// controller's viewWillDisappear, the arriving one's viewWillAppear, then (after the animation, if
// any) the leaving one's viewDidDisappear and the arriving one's viewDidAppear, then the completion.
// A container passes the callbacks on to the children whose views it shows.
class RUX_API ViewController : public std::enable_shared_from_this<ViewController> {
public:
    static std::shared_ptr<ViewController> create() {
        return std::shared_ptr<ViewController>(new ViewController);
    }
    virtual ~ViewController();
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // The root view, loaded (loadView, then viewDidLoad) on the first call; never nullptr.
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return m_view != nullptr; }
    // Replaces the root view (nullptr unloads it, so the next view() loads again). Meant for
    // loadView overrides.
    void setView(std::shared_ptr<View> view);

    // Makes the root view. The default is a plain, transparent view of 320 × 480 points that the
    // container resizes when it shows it. An override calls setView and not the base class.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(Animated) {}
    virtual void viewDidAppear(Animated) {}
    virtual void viewWillDisappear(Animated) {}
    virtual void viewDidDisappear(Animated) {}
    // After each layout pass of the root view (the view's own layoutSubviews has run; its
    // subviews are laid out afterwards, outermost first).
    virtual void viewDidLayoutSubviews() {}

    const std::string& title() const { return m_title; }
    virtual void setTitle(const std::string& title);
    // Whether the status bar should be hidden while this screen is shown; Application asks the
    // screen on top (a navigation controller asks its top child).
    virtual bool prefersStatusBarHidden() const { return false; }

    // Covers the window with controller's view, over the current screen (this controller's top
    // ancestor, which becomes the presenting controller), sliding it up when animated. The
    // completion runs after viewDidAppear. Does nothing but log one line (and does not run the
    // completion) when controller is nullptr, already shown somewhere or itself presenting, when
    // this screen already presents one or is in the middle of a presentation, or when this screen
    // is not in a window.
    void presentViewController(const std::shared_ptr<ViewController>& controller, Animated animated,
                               std::function<void()> completion = {});
    // Dismisses the controller this screen presents (with everything presented over it), or,
    // when it presents nothing, dismisses this screen from its presenter. The presenter then
    // receives viewWillAppear and viewDidAppear again. The completion runs last; it also runs,
    // at once, when there is nothing to dismiss. While the presentation or dismissal of this
    // screen's presenter is still sliding, the call is refused with one log line and the
    // completion does not run.
    void dismissViewController(Animated animated, std::function<void()> completion = {});
    // The controller shown over this screen (or over its top ancestor), or nullptr.
    std::shared_ptr<ViewController> presentedViewController() const;
    // The controller that presented this screen (or its top ancestor), or nullptr.
    std::shared_ptr<ViewController> presentingViewController() const;

    // Containment, for containers such as NavigationController: the container owns its children
    // and shows their views inside its own. Adding a child that has a parent moves it.
    void addChildViewController(const std::shared_ptr<ViewController>& child);
    void removeFromParentViewController();
    std::shared_ptr<ViewController> parentViewController() const { return m_parent.lock(); }
    const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return m_children; }
    // The nearest navigation controller among this screen and its ancestors, or nullptr.
    std::shared_ptr<NavigationController> navigationController() const;

    // True from viewWillAppear until viewWillDisappear.
    bool isVisible() const {
        return m_appearance == Appearance::Appearing || m_appearance == Appearance::Appeared;
    }

    // Used by containers and Application: run the appearance callbacks of this screen and of its
    // children whose views are in this screen's view. A call that would not change the state
    // (appearing twice) does nothing, so callbacks always come in pairs.
    void beginAppearanceTransition(AppearanceTransition transition, Animated animated);
    void endAppearanceTransition();

protected:
    ViewController() = default;
    // The children that receive forwarded appearance callbacks; by default those whose loaded
    // view lies inside this screen's view.
    virtual std::vector<std::shared_ptr<ViewController>> childrenForAppearance() const;

private:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    std::shared_ptr<ViewController> topAncestor();
    const ViewController* topAncestorOrSelf() const;
    void finishPresentation(const std::shared_ptr<ViewController>& presented, Animated animated,
                            std::function<void()> completion);

    std::shared_ptr<View> m_view;
    std::string m_title;
    std::weak_ptr<ViewController> m_parent;
    std::vector<std::shared_ptr<ViewController>> m_children;
    std::shared_ptr<ViewController> m_presented;
    std::weak_ptr<ViewController> m_presenting;
    Appearance m_appearance = Appearance::Disappeared;
    Animated m_transitionAnimated = Animated::No;
    bool m_inTransition = false; // a present or dismiss of this screen's presentation is running
};

} // namespace Toolkit
