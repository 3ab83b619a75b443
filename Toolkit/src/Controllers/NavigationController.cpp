#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Toolkit/Animation.h>
#include <Toolkit/Button.h>
#include <Toolkit/Label.h>
#include <Toolkit/NavigationController.h>
#include <algorithm>

namespace Toolkit {

namespace {

// The bar's slide is quicker than a modal presentation: it accompanies one, as a rule.
constexpr double barSlideSeconds = 0.2;
// A screen change takes as long as a modal presentation.
constexpr double pushSeconds = 0.3;
// The screen underneath moves a third as far as the one sliding over it, for depth.
constexpr double underneathTravel = 0.3;
// A light grey bar, as a stock navigation bar looks on a phone, with a blue back button.
constexpr Color barColor{0.97, 0.97, 0.97, 1};
constexpr Color backColor{0, 0.48, 1, 1};
constexpr double backButtonWidth = 72;

double easeOut(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return 1 - (1 - t) * (1 - t);
}

} // namespace

// The container's root view: lays out the bar and the root screen's view whenever its size changes.
class NavigationController::ContainerView : public View {
public:
    static std::shared_ptr<ContainerView> create(const std::weak_ptr<NavigationController>& owner) {
        auto view = std::shared_ptr<ContainerView>(new ContainerView({0, 0, 320, 480}));
        view->m_owner = owner;
        return view;
    }
    void layoutSubviews() override {
        View::layoutSubviews();
        if (auto owner = m_owner.lock())
            owner->layoutContainer();
    }

private:
    using View::View;
    std::weak_ptr<NavigationController> m_owner;
};

std::shared_ptr<NavigationController>
NavigationController::create(const std::shared_ptr<ViewController>& root) {
    auto navigation = std::shared_ptr<NavigationController>(new NavigationController);
    if (!root) {
        Foundation::log("NavigationController: no root screen; the container stays empty");
        return navigation;
    }
    navigation->m_stack.push_back(root);
    navigation->addChildViewController(root);
    return navigation;
}

void NavigationController::loadView() {
    setView(ContainerView::create(std::static_pointer_cast<NavigationController>(shared_from_this())));
}

void NavigationController::viewDidLoad() {
    ViewController::viewDidLoad();
    const std::shared_ptr<View> container = view();
    if (auto top = topViewController())
        container->addSubview(top->view());
    m_bar = View::create({0, 0, container->bounds().width(), navigationBarHeight});
    m_bar->setBackgroundColor(barColor);
    m_bar->setHidden(m_barHidden);
    m_titleLabel = Label::create();
    m_titleLabel->setFont(Font::boldSystemFont(17));
    m_titleLabel->setTextAlignment(TextAlignment::Center);
    m_bar->addSubview(m_titleLabel);
    m_backButton = Button::create();
    m_backButton->setTitle("\u2039 Back", ControlState::Normal);
    m_backButton->setTitleColor(backColor, ControlState::Normal);
    std::weak_ptr<NavigationController> weak =
        std::static_pointer_cast<NavigationController>(shared_from_this());
    m_backButton->addAction(
        [weak](Control&) {
            if (auto self = weak.lock())
                self->popViewController(Animated::Yes);
        },
        ControlEvent::TouchUpInside);
    m_bar->addSubview(m_backButton);
    container->addSubview(m_bar);
    m_barRetraction = m_barHidden ? 1 : 0;
    setNeedsTitleUpdate();
    layoutContainer();
}

void NavigationController::layoutContainer() {
    if (!isViewLoaded() || !m_bar)
        return;
    const Graphics::Rect bounds = view()->bounds();
    const double barOffset = -navigationBarHeight * m_barRetraction;
    m_bar->setFrame({0, barOffset, bounds.width(), navigationBarHeight});
    // Room at both ends for the buttons a bar usually carries.
    const double titleInset = std::min(80.0, bounds.width() / 4);
    m_titleLabel->setFrame(
        {titleInset, 0, std::max(0.0, bounds.width() - 2 * titleInset), navigationBarHeight});
    m_backButton->setFrame({0, 0, backButtonWidth, navigationBarHeight});
    const double contentTop = navigationBarHeight + barOffset;
    const Graphics::Rect content{0, contentTop, bounds.width(), std::max(0.0, bounds.height() - contentTop)};
    if (m_incoming && m_outgoing) {
        const double e = easeOut(m_slideProgress), w = content.width();
        const double incomingX = m_pushing ? w * (1 - e) : -w * underneathTravel * (1 - e);
        const double outgoingX = m_pushing ? -w * underneathTravel * e : w * e;
        m_incoming->view()->setFrame(content.offsetBy(incomingX, 0));
        m_outgoing->view()->setFrame(content.offsetBy(outgoingX, 0));
    } else if (auto top = topViewController(); top && top->isViewLoaded()) {
        top->view()->setFrame(content);
    }
}

void NavigationController::setNeedsTitleUpdate() {
    if (m_titleLabel)
        m_titleLabel->setText(m_stack.empty() ? std::string() : m_stack.back()->title());
    if (m_backButton)
        m_backButton->setHidden(m_stack.size() < 2);
}

bool NavigationController::prefersStatusBarHidden() const {
    return m_stack.empty() ? false : m_stack.back()->prefersStatusBarHidden();
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller,
                                              Animated animated) {
    if (!Foundation::isMainThread()) {
        Foundation::log("NavigationController::pushViewController: called off the main thread; ignored");
        return;
    }
    if (!controller || controller.get() == this || controller->parentViewController() ||
        controller->presentingViewController() || controller->presentedViewController() || m_incoming) {
        Foundation::log("NavigationController: cannot push a screen that is missing or shown elsewhere, "
                        "or during another push or pop");
        return;
    }
    const std::shared_ptr<ViewController> from = topViewController();
    m_stack.push_back(controller);
    addChildViewController(controller);
    setNeedsTitleUpdate();
    if (!isViewLoaded() || !m_bar)
        return; // the view, when it loads, shows the top screen
    const std::shared_ptr<View> container = view();
    container->insertSubviewBelow(controller->view(), m_bar);
    if (!from) {
        layoutContainer();
        if (isVisible()) {
            controller->beginAppearanceTransition(AppearanceTransition::Appearing, Animated::No);
            controller->endAppearanceTransition();
        }
        return;
    }
    const bool shown = isVisible();
    if (shown) {
        from->beginAppearanceTransition(AppearanceTransition::Disappearing, animated);
        controller->beginAppearanceTransition(AppearanceTransition::Appearing, animated);
    }
    m_incoming = controller;
    m_outgoing = from;
    m_pushing = true;
    slide(SlideDirection::Push, shown ? animated : Animated::No, [from, controller, shown] {
        if (from->isViewLoaded())
            from->view()->removeFromSuperview();
        if (shown) {
            from->endAppearanceTransition();
            controller->endAppearanceTransition();
        }
    });
}

std::shared_ptr<ViewController> NavigationController::popViewController(Animated animated) {
    if (!Foundation::isMainThread()) {
        Foundation::log("NavigationController::popViewController: called off the main thread; ignored");
        return nullptr;
    }
    if (m_stack.size() < 2 || m_incoming)
        return nullptr;
    const std::shared_ptr<ViewController> from = m_stack.back();
    m_stack.pop_back();
    const std::shared_ptr<ViewController> to = m_stack.back();
    setNeedsTitleUpdate();
    if (!isViewLoaded() || !m_bar) {
        from->removeFromParentViewController();
        return from;
    }
    view()->insertSubviewBelow(to->view(), from->view());
    const bool shown = isVisible();
    if (shown) {
        from->beginAppearanceTransition(AppearanceTransition::Disappearing, animated);
        to->beginAppearanceTransition(AppearanceTransition::Appearing, animated);
    }
    m_incoming = to;
    m_outgoing = from;
    m_pushing = false;
    slide(SlideDirection::Pop, shown ? animated : Animated::No, [from, to, shown] {
        if (from->isViewLoaded())
            from->view()->removeFromSuperview();
        from->removeFromParentViewController();
        if (shown) {
            from->endAppearanceTransition();
            to->endAppearanceTransition();
        }
    });
    return from;
}

void NavigationController::slide(SlideDirection direction, Animated animated, std::function<void()> finish) {
    const bool pushing = direction == SlideDirection::Push;
    m_pushing = pushing;
    m_slideProgress = 0;
    std::weak_ptr<NavigationController> weak =
        std::static_pointer_cast<NavigationController>(shared_from_this());
    auto done = [weak, finish = std::move(finish)](bool) {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_incoming.reset();
        self->m_outgoing.reset();
        self->layoutContainer();
        finish();
    };
    if (animated == Animated::No) {
        done(true);
        return;
    }
    layoutContainer();
    animate(
        pushSeconds,
        [weak](double progress) {
            if (auto self = weak.lock()) {
                self->m_slideProgress = progress;
                self->layoutContainer();
            }
        },
        std::move(done));
}

void NavigationController::setNavigationBarHidden(bool hidden, Animated animated) {
    if (!Foundation::isMainThread()) {
        Foundation::log("NavigationController::setNavigationBarHidden: called off the main thread; ignored");
        return;
    }
    if (hidden == m_barHidden && m_barAnimation == 0)
        return;
    m_barHidden = hidden;
    const unsigned animation = ++m_barAnimation;
    if (!isViewLoaded() || !m_bar || animated == Animated::No) {
        m_barAnimation = 0;
        m_barRetraction = hidden ? 1 : 0;
        if (m_bar) {
            m_bar->setHidden(hidden);
            layoutContainer();
        }
        return;
    }
    m_bar->setHidden(false);
    const double from = m_barRetraction;
    const double to = hidden ? 1 : 0;
    std::weak_ptr<NavigationController> weak =
        std::static_pointer_cast<NavigationController>(shared_from_this());
    animate(
        barSlideSeconds * std::abs(to - from),
        [weak, animation, from, to](double progress) {
            auto self = weak.lock();
            if (!self || self->m_barAnimation != animation)
                return;
            self->m_barRetraction = from + (to - from) * std::clamp(progress, 0.0, 1.0);
            self->layoutContainer();
        },
        [weak, animation](bool) {
            auto self = weak.lock();
            if (!self || self->m_barAnimation != animation)
                return;
            self->m_barAnimation = 0;
            self->m_barRetraction = self->m_barHidden ? 1 : 0;
            self->m_bar->setHidden(self->m_barHidden);
            self->layoutContainer();
        });
}

} // namespace Toolkit
