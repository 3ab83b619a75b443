#include "Toolkit/ToolkitTestSupport.h"

#include <Foundation/Clock.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Toolkit/Animation.h>
#include <Toolkit/View.h>
#include <Toolkit/Window.h>
#include <gtest/gtest.h>
#include <thread>

using namespace Toolkit;
using Graphics::Point;
using Graphics::Rect;
using Graphics::Size;

namespace {

struct AutoresizingCase {
    AutoresizingMask mask;
    Rect before;
    Rect after; // superview grows from 100 × 100 to 200 × 150
};

class AutoresizingTest : public ::testing::TestWithParam<AutoresizingCase> {};

TEST_P(AutoresizingTest, SpreadsTheChangeOverTheFlexibleParts) {
    const AutoresizingCase& c = GetParam();
    auto parent = View::create({0, 0, 100, 100});
    auto child = View::create(c.before);
    child->setAutoresizingMask(c.mask);
    parent->addSubview(child);
    parent->setFrame({0, 0, 200, 150});
    EXPECT_EQ(child->frame(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, AutoresizingTest,
    ::testing::Values(
        AutoresizingCase{AutoresizingMask::None, {10, 20, 30, 40}, {10, 20, 30, 40}},
        AutoresizingCase{AutoresizingMask::FlexibleWidth | AutoresizingMask::FlexibleHeight,
                         {0, 0, 100, 100},
                         {0, 0, 200, 150}},
        // A bar glued to the bottom: only its top margin grows.
        AutoresizingCase{AutoresizingMask::FlexibleTopMargin, {0, 52, 100, 48}, {0, 102, 100, 48}},
        AutoresizingCase{AutoresizingMask::FlexibleLeftMargin | AutoresizingMask::FlexibleRightMargin,
                         {25, 0, 50, 10},
                         {75, 0, 50, 10}},
        // Proportional to the current lengths: 20 of margin and 60 of width share 100 as 1 : 3.
        AutoresizingCase{AutoresizingMask::FlexibleLeftMargin | AutoresizingMask::FlexibleWidth,
                         {20, 0, 60, 10},
                         {45, 0, 135, 10}},
        // Zero-sized flexible parts share the change equally.
        AutoresizingCase{AutoresizingMask::FlexibleTopMargin | AutoresizingMask::FlexibleHeight,
                         {0, 0, 10, 0},
                         {0, 25, 10, 25}}));

TEST(ViewGeometry, FrameBoundsAndCentreStayConsistent) {
    auto view = View::create({10, 20, 30, 40});
    EXPECT_EQ(view->center(), (Point{25, 40}));
    view->setBounds({5, 5, 60, 40});
    EXPECT_EQ(view->frame(), (Rect{-5, 20, 60, 40}));
    view->setCenter({0, 0});
    EXPECT_EQ(view->frame(), (Rect{-30, -20, 60, 40}));
    view->setTransform(Graphics::AffineTransform::makeScale(2, 2));
    EXPECT_EQ(view->frame(), (Rect{-60, -40, 120, 80}));
    EXPECT_EQ(view->bounds().size, (Size{60, 40}));
    // A new origin with the same size only moves the centre, as a zooming view needs.
    view->setFrame({0, 0, 120, 80});
    EXPECT_EQ(view->bounds().size, (Size{60, 40}));
    EXPECT_EQ(view->center(), (Point{60, 40}));
}

TEST(ViewGeometry, ConvertsPointsThroughOffsetsScrollsAndTransforms) {
    auto root = View::create({0, 0, 400, 400});
    auto scroller = View::create({50, 50, 200, 200});
    auto content = View::create({10, 10, 100, 100});
    root->addSubview(scroller);
    scroller->addSubview(content);
    scroller->setBounds({30, 0, 200, 200}); // scrolled 30 to the right
    EXPECT_EQ(content->convertPointToView({0, 0}, root), (Point{30, 60}));
    EXPECT_EQ(root->convertPointToView({30, 60}, content), (Point{0, 0}));
    content->setTransform(Graphics::AffineTransform::makeScale(2, 2));
    // Scaled about its centre (60, 60 in the scroller).
    EXPECT_EQ(content->convertPointToView({0, 0}, scroller), (Point{-40, -40}));
    EXPECT_EQ(content->convertPointFromView({110, 110}, scroller), (Point{75, 75}));
    const Rect r = content->convertRectToView({0, 0, 100, 100}, root);
    EXPECT_EQ(r, (Rect{-20, 10, 200, 200}));
}

TEST(ViewHierarchy, OrderAndReparenting) {
    auto a = View::create(), b = View::create(), c = View::create();
    auto parent = View::create(), other = View::create();
    parent->addSubview(a);
    parent->addSubview(b);
    parent->insertSubview(c, 0);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<View>>{c, a, b}));
    parent->bringSubviewToFront(c);
    parent->insertSubviewBelow(b, a);
    EXPECT_EQ(parent->subviews(), (std::vector<std::shared_ptr<View>>{b, a, c}));
    other->addSubview(a);
    EXPECT_EQ(parent->subviews().size(), 2u);
    EXPECT_EQ(a->superview(), other);
    // A cycle is refused.
    a->addSubview(other);
    EXPECT_EQ(other->superview(), nullptr);
    EXPECT_TRUE(a->subviews().empty());
}

TEST(ViewHitTesting, FrontMostVisibleInteractiveDescendant) {
    auto window = Window::create({100, 100}, 1);
    auto back = View::create({0, 0, 100, 100});
    auto front = View::create({50, 50, 50, 50});
    auto child = View::create({0, 0, 20, 20});
    window->addSubview(back);
    window->addSubview(front);
    front->addSubview(child);
    EXPECT_EQ(window->hitTest({10, 10}), back);
    EXPECT_EQ(window->hitTest({55, 55}), child);
    EXPECT_EQ(window->hitTest({80, 80}), front);
    // Outside the superview, an overhanging child is not hit (as on the platform).
    auto overhang = View::create({-40, 0, 30, 30});
    front->addSubview(overhang);
    EXPECT_EQ(window->hitTest({20, 60}), back);
    child->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({55, 55}), front);
    front->setHidden(true);
    EXPECT_EQ(window->hitTest({55, 55}), back);
    front->setHidden(false);
    front->setAlpha(0.005);
    EXPECT_EQ(window->hitTest({55, 55}), back);
    EXPECT_EQ(window->hitTest({150, 50}), nullptr);
}

class CountingView : public View {
public:
    static std::shared_ptr<CountingView> create() {
        return std::shared_ptr<CountingView>(new CountingView());
    }
    void layoutSubviews() override { ++layouts; }
    int layouts = 0;

private:
    CountingView() : View({}) {}
};

TEST(ViewLayout, RunsOnceWhenMarkedAndReportsAfterwards) {
    auto window = Window::create({100, 100}, 1);
    auto view = CountingView::create();
    int reports = 0;
    view->setOnDidLayoutSubviews([&] { ++reports; });
    window->addSubview(view);
    window->displayIfNeeded();
    EXPECT_EQ(view->layouts, 1);
    EXPECT_EQ(reports, 1);
    window->displayIfNeeded();
    EXPECT_EQ(view->layouts, 1);
    view->setFrame({0, 0, 10, 10}); // a new size lays out again
    view->setFrame({5, 5, 10, 10}); // a move does not
    window->displayIfNeeded();
    EXPECT_EQ(view->layouts, 2);
    view->setNeedsLayout();
    view->layoutIfNeeded();
    EXPECT_EQ(view->layouts, 3);
}

TEST(Compositor, DrawsBackgroundsAlphaBordersAndClipping) {
    auto window = Window::create({20, 10}, 2);
    auto red = View::create({0, 0, 10, 10});
    red->setBackgroundColor({1, 0, 0, 1});
    auto half = View::create({10, 0, 10, 10});
    half->setBackgroundColor({1, 1, 1, 1});
    half->setAlpha(0.5);
    auto bordered = View::create({2, 2, 6, 6});
    bordered->setBorderWidth(1);
    bordered->setBorderColor({0, 0, 1, 1});
    red->addSubview(bordered);
    auto clipped = View::create({5, 5, 10, 10});
    clipped->setBackgroundColor({0, 1, 0, 1});
    half->addSubview(clipped);
    half->setClipsToBounds(true);
    window->addSubview(red);
    window->addSubview(half);
    EXPECT_TRUE(window->displayIfNeeded());
    using P = std::array<int, 4>;
    EXPECT_EQ(ToolkitTest::pixel(*window, 1, 1), (P{255, 0, 0, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*window, 4, 4), (P{0, 0, 255, 255})); // border, 2 pixels wide at scale 2
    EXPECT_EQ(ToolkitTest::pixel(*window, 6, 6), (P{255, 0, 0, 255})); // inside the border
    EXPECT_EQ(ToolkitTest::pixel(*window, 21, 1), (P{128, 128, 128, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*window, 31, 11), (P{0, 128, 0, 255})); // green through the group's alpha
    EXPECT_EQ(ToolkitTest::pixel(*window, 39, 19), (P{0, 128, 0, 255}));
    // Nothing changed: nothing is drawn.
    EXPECT_FALSE(window->displayIfNeeded());
}

TEST(Compositor, RedrawsOnlyTheChangedArea) {
    auto window = Window::create({100, 100}, 2);
    auto a = View::create({0, 0, 10, 10});
    auto b = View::create({50, 50, 10, 10});
    window->addSubview(a);
    window->addSubview(b);
    window->displayIfNeeded();
    const double before = window->redrawnPixelArea();
    a->setBackgroundColor({1, 1, 1, 1});
    EXPECT_TRUE(window->displayIfNeeded());
    EXPECT_EQ(window->redrawnPixelArea() - before, 20.0 * 20.0);
    // A move dirties where it was and where it goes: two separate areas, not their union.
    const double beforeMove = window->redrawnPixelArea();
    b->setFrame({80, 80, 10, 10});
    window->displayIfNeeded();
    EXPECT_EQ(window->redrawnPixelArea() - beforeMove, 2 * 20.0 * 20.0);
    // A highlight border appearing is redrawn, as the filter strip's is on a tap.
    a->setBorderWidth(2);
    EXPECT_TRUE(window->displayIfNeeded());
    // Setting a property to its current value costs nothing.
    const std::size_t count = window->redrawCount();
    a->setBackgroundColor({1, 1, 1, 1});
    a->setBorderWidth(2);
    b->setFrame({80, 80, 10, 10});
    EXPECT_FALSE(window->displayIfNeeded());
    EXPECT_EQ(window->redrawCount(), count);
}

TEST(Window, RejectsUnusableSizesAndResizesWithAutoresizing) {
    Foundation::LogCapture capture;
    EXPECT_EQ(Window::create({0, 100}, 2), nullptr);
    EXPECT_EQ(Window::create({100, 100}, std::nan("")), nullptr);
    EXPECT_EQ(capture.lines().size(), 2u);
    auto window = Window::create({100, 200}, 2);
    auto bar = View::create({0, 152, 100, 48});
    bar->setAutoresizingMask(AutoresizingMask::FlexibleTopMargin | AutoresizingMask::FlexibleWidth);
    window->addSubview(bar);
    window->setPointSize({200, 100});
    EXPECT_EQ(bar->frame(), (Rect{0, 52, 200, 48}));
    window->displayIfNeeded();
    EXPECT_EQ(window->framebuffer()->width(), 400);
    EXPECT_EQ(window->framebuffer()->height(), 200);
}

TEST(Animation, FollowsTheManualClockAndCanBeCancelled) {
    Foundation::ManualClock clock;
    std::vector<double> steps;
    bool finished = false;
    animate(
        0.1, [&](double p) { steps.push_back(p); }, [&](bool f) { finished = f; });
    EXPECT_TRUE(animationsInFlight());
    for (int i = 0; i < 10 && animationsInFlight(); ++i) {
        clock.advance(std::chrono::milliseconds(20));
        Foundation::RunLoop::main().runOnce();
    }
    EXPECT_FALSE(animationsInFlight());
    EXPECT_TRUE(finished);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));

    bool cancelledWith = true;
    const AnimationId id = animate(
        1.0, [](double) {}, [&](bool f) { cancelledWith = f; });
    cancelAnimation(id);
    EXPECT_FALSE(cancelledWith);
    EXPECT_FALSE(animationsInFlight());

    int immediate = 0;
    animate(
        0, [&](double p) { immediate += p == 1.0; }, [&](bool f) { immediate += f; });
    EXPECT_EQ(immediate, 2);
}

TEST(ViewThreads, CallsFromAnotherThreadAreRefused) {
    auto window = Window::create({10, 10}, 1);
    auto view = View::create({0, 0, 5, 5});
    Foundation::LogCapture capture;
    std::thread([&] {
        window->addSubview(view);
        window->displayIfNeeded();
    }).join();
    EXPECT_TRUE(window->subviews().empty());
    EXPECT_TRUE(capture.contains("off the main thread"));
}

} // namespace
