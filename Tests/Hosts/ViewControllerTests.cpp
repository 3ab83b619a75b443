#include <Foundation/Log.h>
#include <Foundation/NotificationCenter.h>
#include <Hosts/HeadlessHost.h>
#include <Toolkit/NavigationController.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Hosts::HeadlessHost;
using Toolkit::Animated;
using Toolkit::NavigationController;
using Toolkit::ViewController;
using Log = std::vector<std::string>;

// Writes every life-cycle callback into a shared log as "name.callback".
class RecordingController : public ViewController {
public:
    static std::shared_ptr<RecordingController> create(std::string name, std::shared_ptr<Log> log) {
        auto c = std::shared_ptr<RecordingController>(new RecordingController);
        c->m_name = std::move(name);
        c->m_log = std::move(log);
        return c;
    }
    void viewDidLoad() override { record("viewDidLoad"); }
    void viewWillAppear(Animated animated) override { record("viewWillAppear", animated); }
    void viewDidAppear(Animated animated) override { record("viewDidAppear", animated); }
    void viewWillDisappear(Animated animated) override { record("viewWillDisappear", animated); }
    void viewDidDisappear(Animated animated) override { record("viewDidDisappear", animated); }
    void viewDidLayoutSubviews() override { ++layoutPasses; }

    int layoutPasses = 0;

private:
    void record(const char* what, Animated animated = Animated::No) {
        m_log->push_back(m_name + "." + what + (animated == Animated::Yes ? "(animated)" : ""));
    }
    std::string m_name;
    std::shared_ptr<Log> m_log;
};

// Behaves as the editor's main screen does with an enclosing navigation bar: saves its hidden
// state when appearing, hides it, and puts the saved state back when disappearing.
class BarHidingController : public ViewController {
public:
    static std::shared_ptr<BarHidingController> create() {
        return std::shared_ptr<BarHidingController>(new BarHidingController);
    }
    void viewWillAppear(Animated animated) override {
        ViewController::viewWillAppear(animated);
        if (auto navigation = navigationController()) {
            m_savedHidden = navigation->isNavigationBarHidden();
            navigation->setNavigationBarHidden(true);
        }
    }
    void viewWillDisappear(Animated animated) override {
        ViewController::viewWillDisappear(animated);
        if (auto navigation = navigationController())
            navigation->setNavigationBarHidden(m_savedHidden);
    }
    bool prefersStatusBarHidden() const override { return true; }

private:
    bool m_savedHidden = false;
};

class ViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = HeadlessHost::create({320, 568}, 1);
        ASSERT_TRUE(host);
    }
    std::shared_ptr<RecordingController> make(const std::string& name) {
        return RecordingController::create(name, log);
    }
    // The log since the last call.
    Log take() {
        Log taken = *log;
        log->clear();
        return taken;
    }

    std::shared_ptr<Log> log = std::make_shared<Log>();
    std::unique_ptr<HeadlessHost> host;
};

TEST_F(ViewControllerTest, ViewLoadsOnceOnFirstUse) {
    auto a = make("A");
    EXPECT_FALSE(a->isViewLoaded());
    auto view = a->view();
    EXPECT_TRUE(a->isViewLoaded());
    EXPECT_EQ(a->view(), view);
    EXPECT_EQ(take(), Log{"A.viewDidLoad"});
}

TEST_F(ViewControllerTest, RootAppearsOverTheWholeWindowAndIsLaidOut) {
    auto a = make("A");
    host->application().setRootViewController(a);
    EXPECT_EQ(take(), (Log{"A.viewDidLoad", "A.viewWillAppear", "A.viewDidAppear"}));
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 0, 320, 568));
    EXPECT_GE(a->layoutPasses, 1);
    host->application().setRootViewController(nullptr);
    EXPECT_EQ(take(), (Log{"A.viewWillDisappear", "A.viewDidDisappear"}));
}

// Presenting and dismissing, with and without the slide, give the same order of callbacks; the
// presenter appears again after the dismissal, and each completion runs last.
class PresentationOrderTest : public ViewControllerTest, public ::testing::WithParamInterface<Animated> {};

TEST_P(PresentationOrderTest, CallbacksComeInOrderAndThePresenterAppearsAgain) {
    const Animated animated = GetParam();
    const std::string suffix = animated == Animated::Yes ? "(animated)" : "";
    auto a = make("A");
    auto b = make("B");
    host->application().setRootViewController(a);
    take();

    a->presentViewController(b, animated, [this] { log->push_back("presented"); });
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_EQ(take(), (Log{"B.viewDidLoad", "A.viewWillDisappear" + suffix, "B.viewWillAppear" + suffix,
                           "A.viewDidDisappear" + suffix, "B.viewDidAppear" + suffix, "presented"}));
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_EQ(b->presentingViewController(), a);
    EXPECT_EQ(host->application().topViewController(), b);
    EXPECT_EQ(b->view()->frame(), Graphics::Rect(0, 0, 320, 568));
    EXPECT_EQ(b->view()->superview(), host->window());
    EXPECT_EQ(a->view()->superview(), nullptr) << "the covered screen leaves the window";

    // The presented screen dismisses itself, as tool screens do on OK and Cancel.
    b->dismissViewController(animated, [this] { log->push_back("dismissed"); });
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_EQ(take(), (Log{"B.viewWillDisappear" + suffix, "A.viewWillAppear" + suffix,
                           "B.viewDidDisappear" + suffix, "A.viewDidAppear" + suffix, "dismissed"}));
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(b->presentingViewController(), nullptr);
    EXPECT_EQ(b->view()->superview(), nullptr);
    EXPECT_EQ(a->view()->superview(), host->window());

    // A second round, dismissed by the presenter, works the same, as opening a tool twice does.
    a->presentViewController(b, animated);
    ASSERT_TRUE(host->runUntilIdle());
    a->dismissViewController(animated);
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_EQ(take(),
              (Log{"A.viewWillDisappear" + suffix, "B.viewWillAppear" + suffix, "A.viewDidDisappear" + suffix,
                   "B.viewDidAppear" + suffix, "B.viewWillDisappear" + suffix, "A.viewWillAppear" + suffix,
                   "B.viewDidDisappear" + suffix, "A.viewDidAppear" + suffix}));
}

INSTANTIATE_TEST_SUITE_P(Animation, PresentationOrderTest, ::testing::Values(Animated::No, Animated::Yes),
                         [](const auto& info) {
                             return info.param == Animated::Yes ? "Animated" : "Immediate";
                         });

TEST_F(ViewControllerTest, AnimatedPresentationSlidesUpFromBelow) {
    auto a = make("A");
    auto b = make("B");
    host->application().setRootViewController(a);
    a->presentViewController(b, Animated::Yes);
    EXPECT_DOUBLE_EQ(b->view()->frame().minY(), 568);
    host->advance(0.1);
    const double midway = b->view()->frame().minY();
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 568);
    EXPECT_EQ(a->view()->superview(), host->window()) << "the presenter stays visible under the slide";
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_DOUBLE_EQ(b->view()->frame().minY(), 0);
}

TEST_F(ViewControllerTest, RefusedPresentationsLogAndLeaveEverythingAlone) {
    auto a = make("A");
    auto b = make("B");
    auto c = make("C");
    bool completed = false;
    {
        Foundation::LogCapture capture;
        a->presentViewController(b, Animated::No, [&] { completed = true; });
        EXPECT_TRUE(capture.contains("not in a window"));
    }
    host->application().setRootViewController(a);
    a->presentViewController(b, Animated::No);
    take();
    {
        Foundation::LogCapture capture;
        a->presentViewController(c, Animated::No, [&] { completed = true; });
        b->presentViewController(b, Animated::No, [&] { completed = true; });
        a->presentViewController(nullptr, Animated::No, [&] { completed = true; });
        b->presentViewController(a, Animated::No, [&] { completed = true; }); // a cycle
        EXPECT_EQ(capture.lines().size(), 4u);
    }
    EXPECT_FALSE(completed);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_FALSE(c->isViewLoaded());
}

TEST_F(ViewControllerTest, CallsFromOtherThreadsAreRefused) {
    auto a = make("A");
    auto b = make("B");
    auto navigation = NavigationController::create(a);
    host->application().setRootViewController(navigation);
    take();
    Foundation::LogCapture capture;
    std::thread([&] {
        a->presentViewController(b, Animated::No);
        navigation->setNavigationBarHidden(true);
        navigation->pushViewController(b, Animated::No);
        host->application().setRootViewController(nullptr);
    }).join();
    EXPECT_EQ(capture.lines().size(), 4u);
    EXPECT_TRUE(take().empty());
    EXPECT_FALSE(b->isViewLoaded());
    EXPECT_FALSE(navigation->isNavigationBarHidden());
    EXPECT_EQ(host->application().rootViewController(), navigation);
}

TEST_F(ViewControllerTest, DismissalWhileSlidingInIsRefused) {
    auto a = make("A");
    auto b = make("B");
    host->application().setRootViewController(a);
    a->presentViewController(b, Animated::Yes);
    bool completed = false;
    {
        Foundation::LogCapture capture;
        b->dismissViewController(Animated::No, [&] { completed = true; });
        EXPECT_EQ(capture.lines().size(), 1u);
    }
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_FALSE(completed);
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_TRUE(b->isVisible());
}

TEST_F(ViewControllerTest, DismissingWithNothingPresentedRunsTheCompletionOnly) {
    auto a = make("A");
    host->application().setRootViewController(a);
    take();
    bool completed = false;
    a->dismissViewController(Animated::Yes, [&] { completed = true; });
    EXPECT_TRUE(completed);
    EXPECT_TRUE(take().empty());
}

TEST_F(ViewControllerTest, DismissingAStackShowsOnlyTheTopScreenLeaving) {
    auto a = make("A");
    auto b = make("B");
    auto c = make("C");
    host->application().setRootViewController(a);
    a->presentViewController(b, Animated::No);
    b->presentViewController(c, Animated::No);
    EXPECT_EQ(host->application().topViewController(), c);
    take();
    a->dismissViewController(Animated::No);
    EXPECT_EQ(take(),
              (Log{"C.viewWillDisappear", "A.viewWillAppear", "C.viewDidDisappear", "A.viewDidAppear"}));
    EXPECT_EQ(host->window()->subviews(), std::vector<std::shared_ptr<Toolkit::View>>{a->view()});
}

TEST_F(ViewControllerTest, NavigationChildReceivesItsContainersAppearanceAndPresents) {
    auto a = make("A");
    auto b = make("B");
    auto navigation = NavigationController::create(a);
    host->application().setRootViewController(navigation);
    EXPECT_EQ(take(), (Log{"A.viewDidLoad", "A.viewWillAppear", "A.viewDidAppear"}));
    EXPECT_EQ(a->navigationController(), navigation);

    // A child presents through its container, which then counts as the presenter.
    a->presentViewController(b, Animated::No);
    EXPECT_EQ(b->presentingViewController(), navigation);
    EXPECT_EQ(a->presentedViewController(), b);
    b->dismissViewController(Animated::No);
    EXPECT_EQ(take(), (Log{"B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear", "A.viewDidDisappear",
                           "B.viewDidAppear", "B.viewWillDisappear", "A.viewWillAppear", "B.viewDidDisappear",
                           "A.viewDidAppear"}));
}

class NavigationStackTest : public ViewControllerTest, public ::testing::WithParamInterface<Animated> {};

TEST_P(NavigationStackTest, PushAndPopSwapScreensWithTheirCallbacks) {
    const Animated animated = GetParam();
    const std::string suffix = animated == Animated::Yes ? "(animated)" : "";
    auto a = make("A");
    auto b = make("B");
    b->setTitle("Second");
    auto navigation = NavigationController::create(a);
    host->application().setRootViewController(navigation);
    take();

    navigation->pushViewController(b, animated);
    EXPECT_EQ(navigation->topViewController(), b) << "the top changes as the push starts";
    if (animated == Animated::Yes) {
        host->advance(0.1);
        EXPECT_GT(b->view()->frame().minX(), 0);
        EXPECT_LT(b->view()->frame().minX(), 320);
        Foundation::LogCapture capture;
        navigation->pushViewController(make("C"), Animated::No);
        EXPECT_EQ(capture.lines().size(), 1u) << "no push while another slides";
    }
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_EQ(take(), (Log{"B.viewDidLoad", "A.viewWillDisappear" + suffix, "B.viewWillAppear" + suffix,
                           "A.viewDidDisappear" + suffix, "B.viewDidAppear" + suffix}));
    EXPECT_EQ(b->view()->frame(), Graphics::Rect(0, 44, 320, 524));
    EXPECT_EQ(a->view()->superview(), nullptr);
    EXPECT_EQ(b->navigationController(), navigation);
    EXPECT_EQ(navigation->viewControllers().size(), 2u);

    EXPECT_EQ(navigation->popViewController(animated), b);
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_EQ(take(), (Log{"B.viewWillDisappear" + suffix, "A.viewWillAppear" + suffix,
                           "B.viewDidDisappear" + suffix, "A.viewDidAppear" + suffix}));
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_EQ(b->view()->superview(), nullptr);
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 44, 320, 524));
    EXPECT_EQ(navigation->popViewController(animated), nullptr) << "the root stays";
}

INSTANTIATE_TEST_SUITE_P(Animation, NavigationStackTest, ::testing::Values(Animated::No, Animated::Yes),
                         [](const auto& info) {
                             return info.param == Animated::Yes ? "Animated" : "Immediate";
                         });

TEST_F(ViewControllerTest, BackButtonPopsTheTopScreen) {
    auto a = make("A");
    auto b = make("B");
    auto navigation = NavigationController::create(a);
    host->application().setRootViewController(navigation);
    navigation->pushViewController(b, Animated::No);
    ASSERT_TRUE(host->runScript("tap 30 22\nidle\n"));
    EXPECT_EQ(navigation->topViewController(), a);
    take();
    // Pushing onto a container that is not shown gives no callbacks until it is.
    host->application().setRootViewController(nullptr);
    navigation->pushViewController(b, Animated::Yes);
    EXPECT_EQ(take(), (Log{"A.viewWillDisappear", "A.viewDidDisappear"}));
}

TEST_F(ViewControllerTest, NavigationBarHidesAndTheRootViewFollows) {
    auto a = make("A");
    auto navigation = NavigationController::create(a);
    host->application().setRootViewController(navigation);
    auto bar = navigation->navigationBar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->frame(), Graphics::Rect(0, 0, 320, 44));
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 44, 320, 524));

    navigation->setNavigationBarHidden(true);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 0, 320, 568));

    navigation->setNavigationBarHidden(false, Animated::Yes);
    EXPECT_FALSE(navigation->isNavigationBarHidden()) << "the state changes at once";
    EXPECT_FALSE(bar->isHidden()) << "the bar is seen sliding in";
    host->advance(0.1);
    EXPECT_GT(a->view()->frame().minY(), 0);
    EXPECT_LT(a->view()->frame().minY(), 44);
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_EQ(bar->frame(), Graphics::Rect(0, 0, 320, 44));
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 44, 320, 524));

    navigation->setNavigationBarHidden(true, Animated::Yes);
    ASSERT_TRUE(host->runUntilIdle());
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 0, 320, 568));
}

// The editor's main screen hides the host's bar while shown and gives it back when it leaves,
// also around a tool screen presented over it.
TEST_F(ViewControllerTest, BarStateSavedOnAppearingComesBackAfterAPresentation) {
    auto screen = BarHidingController::create();
    auto navigation = NavigationController::create(screen);
    host->application().setRootViewController(navigation);
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    EXPECT_TRUE(host->application().isStatusBarHidden());

    auto tool = make("Tool");
    screen->presentViewController(tool, Animated::No);
    EXPECT_FALSE(navigation->isNavigationBarHidden()) << "restored while the screen is covered";
    EXPECT_FALSE(host->application().isStatusBarHidden());
    tool->dismissViewController(Animated::No);
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    EXPECT_EQ(screen->view()->frame(), Graphics::Rect(0, 0, 320, 568));

    host->application().setRootViewController(nullptr);
    EXPECT_FALSE(navigation->isNavigationBarHidden()) << "the host's visible bar is visible again";
}

TEST_F(ViewControllerTest, RotationResizesTheScreensBeforeObserversHear) {
    auto a = make("A");
    auto b = make("B");
    host->application().setRootViewController(a);
    a->presentViewController(b, Animated::No);
    Graphics::Size seen;
    auto token = Foundation::NotificationCenter::defaultCenter().addObserver(
        Foundation::DeviceOrientationDidChangeNotification,
        [&](const Foundation::Notification&) { seen = b->view()->bounds().size; });
    Foundation::ScopedObserver observer(Foundation::NotificationCenter::defaultCenter(), token);

    ASSERT_TRUE(host->runScript("rotate landscape-left\n"));
    EXPECT_EQ(host->window()->pointSize(), (Graphics::Size{568, 320}));
    EXPECT_EQ(seen, (Graphics::Size{568, 320}));
    EXPECT_EQ(Foundation::currentDeviceOrientation(), Foundation::DeviceOrientation::LandscapeLeft);

    // Face up keeps the shape; the dismissal puts the presenter back at the new size.
    ASSERT_TRUE(host->runScript("rotate face-up\n"));
    EXPECT_EQ(host->window()->pointSize(), (Graphics::Size{568, 320}));
    b->dismissViewController(Animated::No);
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 0, 568, 320));
    ASSERT_TRUE(host->runScript("rotate portrait\n"));
    EXPECT_EQ(a->view()->frame(), Graphics::Rect(0, 0, 320, 568));
}

} // namespace
