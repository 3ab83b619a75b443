#include <Foundation/Log.h>
#include <Toolkit/Animation.h>
#include <Toolkit/Label.h>
#include <Toolkit/NavigationController.h>
#include <algorithm>

namespace Toolkit {

namespace {

// The bar's slide is quicker than a modal presentation: it accompanies one, as a rule.
constexpr double barSlideSeconds = 0.2;
// A light grey bar with a hairline, as a stock navigation bar looks on a phone.
constexpr Color barColor{0.97, 0.97, 0.97, 1};

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
    navigation->m_root = root;
    navigation->addChildViewController(root);
    return navigation;
}

void NavigationController::loadView() {
    setView(ContainerView::create(std::static_pointer_cast<NavigationController>(shared_from_this())));
}

void NavigationController::viewDidLoad() {
    ViewController::viewDidLoad();
    const std::shared_ptr<View> container = view();
    if (m_root) {
        const std::shared_ptr<View> rootView = m_root->view();
        container->addSubview(rootView);
    }
    m_bar = View::create({0, 0, container->bounds().width(), navigationBarHeight});
    m_bar->setBackgroundColor(barColor);
    m_bar->setHidden(m_barHidden);
    m_titleLabel = Label::create();
    m_titleLabel->setFont(Font::boldSystemFont(17));
    m_titleLabel->setTextAlignment(TextAlignment::Center);
    m_bar->addSubview(m_titleLabel);
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
    const double contentTop = navigationBarHeight + barOffset;
    if (m_root && m_root->isViewLoaded())
        m_root->view()->setFrame(
            {0, contentTop, bounds.width(), std::max(0.0, bounds.height() - contentTop)});
}

void NavigationController::setNeedsTitleUpdate() {
    if (m_titleLabel)
        m_titleLabel->setText(m_root ? m_root->title() : std::string());
}

bool NavigationController::prefersStatusBarHidden() const {
    return m_root ? m_root->prefersStatusBarHidden() : false;
}

void NavigationController::setNavigationBarHidden(bool hidden, Animated animated) {
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
