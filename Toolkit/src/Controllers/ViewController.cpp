#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Toolkit/Animation.h>
#include <Toolkit/NavigationController.h>
#include <Toolkit/ViewController.h>
#include <Toolkit/Window.h>
#include <algorithm>

namespace Toolkit {

namespace {

// Long enough to read as a movement, short enough not to hold up a tool screen.
constexpr double presentationSeconds = 0.3;

double easeOutOfPresentation(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return 1 - (1 - t) * (1 - t);
}

std::shared_ptr<Window> windowOf(const std::shared_ptr<View>& view) {
    return view ? view->window() : nullptr;
}

// Slides a presented view over the window for presentationSeconds, eased out: its offset below
// the window's top edge goes from `from` to `to` window heights. Neither view nor window is kept
// alive by the animation.
void slideView(const std::shared_ptr<View>& view, const std::shared_ptr<Window>& window, double from,
               double to, std::function<void(bool)> completion) {
    std::weak_ptr<View> weakView = view;
    std::weak_ptr<Window> weakWindow = window;
    animate(
        presentationSeconds,
        [weakView, weakWindow, from, to](double progress) {
            auto v = weakView.lock();
            auto w = weakWindow.lock();
            if (v && w)
                v->setFrame(w->bounds().offsetBy(
                    0, w->bounds().height() * (from + (to - from) * easeOutOfPresentation(progress))));
        },
        std::move(completion));
}

} // namespace

ViewController::~ViewController() = default;

std::shared_ptr<View> ViewController::view() {
    if (!m_view) {
        loadView();
        if (!m_view)
            setView(View::create({0, 0, 320, 480}));
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(std::shared_ptr<View> view) {
    if (m_view == view)
        return;
    if (m_view)
        m_view->setOnDidLayoutSubviews({});
    m_view = std::move(view);
    if (m_view) {
        // Weak: the view must not keep its controller alive (the controller owns the view).
        std::weak_ptr<ViewController> weak = weak_from_this();
        m_view->setOnDidLayoutSubviews([weak] {
            if (auto self = weak.lock())
                self->viewDidLayoutSubviews();
        });
    }
}

void ViewController::loadView() {
    setView(View::create({0, 0, 320, 480}));
}

void ViewController::setTitle(const std::string& title) {
    m_title = title;
    // A navigation bar shows its top screen's title.
    if (auto navigation = navigationController(); navigation && navigation.get() != this)
        navigation->setNeedsTitleUpdate();
}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
    for (const ViewController* c = this; c; c = c->m_parent.lock().get()) {
        if (auto* navigation = dynamic_cast<const NavigationController*>(c)) {
            // Empty while the container is being made (or destroyed): it has no owner then.
            return std::const_pointer_cast<NavigationController>(
                std::static_pointer_cast<const NavigationController>(navigation->weak_from_this().lock()));
        }
    }
    return nullptr;
}

// The parent is kept alive by whoever owns the child's container, so the raw pointers below stay
// valid for the walk.
const ViewController* ViewController::topAncestorOrSelf() const {
    const ViewController* top = this;
    while (auto parent = top->m_parent.lock())
        top = parent.get();
    return top;
}

std::shared_ptr<ViewController> ViewController::topAncestor() {
    // Empty for a controller nobody owns yet (one still in its constructor).
    return std::const_pointer_cast<ViewController>(topAncestorOrSelf()->weak_from_this().lock());
}

std::shared_ptr<ViewController> ViewController::presentedViewController() const {
    return topAncestorOrSelf()->m_presented;
}

std::shared_ptr<ViewController> ViewController::presentingViewController() const {
    return topAncestorOrSelf()->m_presenting.lock();
}

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this)
        return;
    child->removeFromParentViewController();
    m_children.push_back(child);
    child->m_parent = weak_from_this();
}

void ViewController::removeFromParentViewController() {
    auto parent = m_parent.lock();
    if (!parent)
        return;
    std::erase_if(parent->m_children, [this](const auto& c) { return c.get() == this; });
    m_parent.reset();
}

std::vector<std::shared_ptr<ViewController>> ViewController::childrenForAppearance() const {
    std::vector<std::shared_ptr<ViewController>> shown;
    for (const auto& child : m_children)
        if (child->isViewLoaded() && m_view && child->m_view->isDescendantOfView(m_view.get()))
            shown.push_back(child);
    return shown;
}

void ViewController::beginAppearanceTransition(AppearanceTransition transition, Animated animated) {
    if (transition == AppearanceTransition::Appearing) {
        if (m_appearance == Appearance::Appearing || m_appearance == Appearance::Appeared)
            return;
        m_appearance = Appearance::Appearing;
        m_transitionAnimated = animated;
        viewWillAppear(animated);
    } else {
        if (m_appearance == Appearance::Disappearing || m_appearance == Appearance::Disappeared)
            return;
        m_appearance = Appearance::Disappearing;
        m_transitionAnimated = animated;
        viewWillDisappear(animated);
    }
    for (const auto& child : childrenForAppearance())
        child->beginAppearanceTransition(transition, animated);
}

void ViewController::endAppearanceTransition() {
    if (m_appearance == Appearance::Appearing) {
        m_appearance = Appearance::Appeared;
        viewDidAppear(m_transitionAnimated);
    } else if (m_appearance == Appearance::Disappearing) {
        m_appearance = Appearance::Disappeared;
        viewDidDisappear(m_transitionAnimated);
    } else {
        return;
    }
    for (const auto& child : childrenForAppearance())
        child->endAppearanceTransition();
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller,
                                           Animated animated, std::function<void()> completion) {
    if (!Foundation::isMainThread()) {
        Foundation::log("ViewController::presentViewController: called off the main thread; ignored");
        return;
    }
    const std::shared_ptr<ViewController> presenter = topAncestor();
    if (!presenter || !controller || controller == presenter || controller->m_presenting.lock() ||
        controller->m_presented || controller->parentViewController() ||
        controller->m_appearance != Appearance::Disappeared) {
        Foundation::log("ViewController: cannot present a screen that is missing or already shown");
        return;
    }
    if (presenter->m_presented || presenter->m_inTransition) {
        Foundation::log("ViewController: cannot present over a screen that already presents one");
        return;
    }
    const std::shared_ptr<View> presenterView = presenter->view();
    const std::shared_ptr<Window> window = windowOf(presenterView);
    if (!window) {
        Foundation::log("ViewController: cannot present from a screen that is not in a window");
        return;
    }

    presenter->m_presented = controller;
    controller->m_presenting = presenter;
    presenter->m_inTransition = true;

    const std::shared_ptr<View> view = controller->view();
    const Graphics::Rect bounds = window->bounds();
    view->setFrame(animated == Animated::Yes ? bounds.offsetBy(0, bounds.height()) : bounds);
    view->setAutoresizingMask(AutoresizingMask::FlexibleWidth | AutoresizingMask::FlexibleHeight);

    presenter->beginAppearanceTransition(AppearanceTransition::Disappearing, animated);
    controller->beginAppearanceTransition(AppearanceTransition::Appearing, animated);
    window->addSubview(view);

    if (animated == Animated::No) {
        presenter->finishPresentation(controller, animated, std::move(completion));
        return;
    }
    slideView(view, window, 1, 0,
              [self = presenter, controller, animated, completion = std::move(completion)](bool) mutable {
                  self->finishPresentation(controller, animated, std::move(completion));
              });
}

void ViewController::finishPresentation(const std::shared_ptr<ViewController>& presented, Animated,
                                        std::function<void()> completion) {
    m_inTransition = false;
    const std::shared_ptr<View> view = presented->view();
    if (auto window = windowOf(view)) {
        view->setFrame(window->bounds());
        // Laid out before viewDidAppear, so that the screen appears with its final geometry.
        window->layoutIfNeeded();
    }
    // The covered screen leaves the window: it is neither drawn nor touched while covered.
    if (m_view && m_view->superview())
        m_view->removeFromSuperview();
    endAppearanceTransition();
    presented->endAppearanceTransition();
    if (completion)
        completion();
}

void ViewController::dismissViewController(Animated animated, std::function<void()> completion) {
    if (!Foundation::isMainThread()) {
        Foundation::log("ViewController::dismissViewController: called off the main thread; ignored");
        return;
    }
    std::shared_ptr<ViewController> presenter = topAncestor();
    if (presenter && !presenter->m_presented) {
        // Nothing presented here: the screen dismisses itself from its presenter.
        presenter = presenter->m_presenting.lock();
    }
    if (!presenter) {
        if (completion)
            completion();
        return;
    }
    if (presenter->m_inTransition) {
        Foundation::log("ViewController: cannot dismiss while a presentation is running");
        return;
    }

    // Only the screen on top is seen leaving; the ones between it and the presenter go silently,
    // since they were covered and have already disappeared.
    std::vector<std::shared_ptr<ViewController>> chain;
    for (auto c = presenter->m_presented; c; c = c->m_presented)
        chain.push_back(c);
    const std::shared_ptr<ViewController> top = chain.back();
    const std::shared_ptr<View> topView = top->view();
    const std::shared_ptr<Window> window = windowOf(topView);

    presenter->m_inTransition = true;
    const std::shared_ptr<View> presenterView = presenter->view();
    if (window) {
        presenterView->setFrame(window->bounds());
        presenterView->setAutoresizingMask(AutoresizingMask::FlexibleWidth |
                                           AutoresizingMask::FlexibleHeight);
        window->insertSubviewBelow(presenterView, topView);
    }

    top->beginAppearanceTransition(AppearanceTransition::Disappearing, animated);
    presenter->beginAppearanceTransition(AppearanceTransition::Appearing, animated);

    auto finish = [presenter, chain, completion = std::move(completion)]() mutable {
        presenter->m_inTransition = false;
        for (const auto& c : chain) {
            if (c->isViewLoaded())
                c->view()->removeFromSuperview();
            c->m_presenting.reset();
            c->m_presented.reset();
        }
        presenter->m_presented.reset();
        if (auto window = windowOf(presenter->view()))
            window->layoutIfNeeded();
        chain.back()->endAppearanceTransition();
        presenter->endAppearanceTransition();
        if (completion)
            completion();
    };
    if (animated == Animated::No || !window) {
        finish();
        return;
    }
    slideView(topView, window, 0, 1, [finish = std::move(finish)](bool) mutable { finish(); });
}

} // namespace Toolkit
