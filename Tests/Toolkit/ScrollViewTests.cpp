#include "Toolkit/ToolkitTestSupport.h"

#include <Foundation/Clock.h>
#include <Foundation/RunLoop.h>
#include <Toolkit/Animation.h>
#include <Toolkit/Button.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/ScrollView.h>
#include <Toolkit/Window.h>
#include <gtest/gtest.h>

using namespace Toolkit;
using Graphics::Point;
using Graphics::Rect;
using Graphics::Size;

namespace {

void runAnimations(Foundation::ManualClock& clock) {
    for (int i = 0; i < 200 && animationsInFlight(); ++i) {
        clock.advance(std::chrono::milliseconds(16));
        Foundation::RunLoop::main().runOnce();
    }
}

void waitPastTouchDelay(Foundation::ManualClock& clock) {
    clock.advance(std::chrono::milliseconds(200));
    Foundation::RunLoop::main().runOnce();
}

struct Zoomer : ScrollViewDelegate {
    std::shared_ptr<View> content;
    int zooms = 0;
    int endZooms = 0;
    std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) override { return content; }
    void scrollViewDidZoom(ScrollView&) override { ++zooms; }
    void scrollViewDidEndZooming(ScrollView&, const std::shared_ptr<View>&, double) override { ++endZooms; }
};

// The crop screen's arrangement on a 320 × 568 screen: a 320 × 476 zoom view with 78 points of inset
// above and below the 320 × 320 window, over a 1000 × 750 picture.
struct ZoomScene {
    std::shared_ptr<Window> window = Window::create({320, 568}, 1);
    std::shared_ptr<ScrollView> scroll = ScrollView::create({0, 44, 320, 476});
    std::shared_ptr<View> content = View::create({0, 0, 1000, 750});
    std::shared_ptr<Zoomer> delegate = std::make_shared<Zoomer>();
    double time = 0;
    ZoomScene() {
        window->addSubview(scroll);
        scroll->addSubview(content);
        delegate->content = content;
        scroll->setDelegate(delegate);
        scroll->setContentInset({78, 0, 78, 0});
        scroll->setContentSize({1000, 750});
        scroll->setMinimumZoomScale(320.0 / 750.0);
        scroll->setMaximumZoomScale(5.0);
        scroll->setZoomScale(320.0 / 750.0);
    }
    void play(const std::string& script) { ToolkitTest::play(window, &time, script); }
    // The picture rectangle under the window, as the crop screen computes it.
    Rect targetRect() const {
        const double z = scroll->zoomScale();
        const Point o = scroll->contentOffset();
        return {(o.x + 0) / z, (o.y + 78) / z, 320 / z, 320 / z};
    }
};

void expectRectNear(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.minX(), expected.minX(), 1e-6);
    EXPECT_NEAR(actual.minY(), expected.minY(), 1e-6);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-6);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-6);
}

TEST(ScrollViewZoom, ClampsToTheLimitsAndScalesTheContent) {
    ZoomScene s;
    EXPECT_DOUBLE_EQ(s.scroll->zoomScale(), 320.0 / 750.0);
    EXPECT_NEAR(s.scroll->contentSize().width, 426.6667, 1e-4);
    EXPECT_DOUBLE_EQ(s.scroll->contentSize().height, 320);
    const int zooms = s.delegate->zooms;
    s.scroll->setZoomScale(12);
    EXPECT_EQ(s.scroll->zoomScale(), 5.0);
    EXPECT_EQ(s.scroll->contentSize(), (Size{5000, 3750}));
    s.scroll->setZoomScale(0.01);
    EXPECT_DOUBLE_EQ(s.scroll->zoomScale(), 320.0 / 750.0);
    EXPECT_EQ(s.delegate->zooms, zooms + 2);
    // The offset never leaves the scrollable area after a programmatic zoom.
    const Point o = s.scroll->contentOffset();
    EXPECT_GE(o.y, -78);
    EXPECT_LE(o.y, s.scroll->maximumContentOffset().y);
    // A minimum above the maximum wins.
    s.scroll->setMinimumZoomScale(6);
    s.scroll->setZoomScale(1);
    EXPECT_EQ(s.scroll->zoomScale(), 6.0);
}

struct ZoomRectCase {
    Rect rect;
    double scale;
    Rect shown; // the picture under the 320 × 320 window afterwards
};

class ZoomToRectTest : public ::testing::TestWithParam<ZoomRectCase> {};

TEST_P(ZoomToRectTest, ShowsTheRectAsLargeAsFitsCentredWithinTheLimits) {
    ZoomScene s;
    const ZoomRectCase& c = GetParam();
    s.scroll->zoomToRect(c.rect, Animated::No);
    EXPECT_NEAR(s.scroll->zoomScale(), c.scale, 1e-9);
    expectRectNear(s.targetRect(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, ZoomToRectTest,
    ::testing::Values(
        // A square fills the window exactly: reopening the crop screen shows the same square.
        ZoomRectCase{{100, 100, 300, 300}, 320.0 / 300.0, {100, 100, 300, 300}},
        ZoomRectCase{{0, 0, 640, 640}, 0.5, {0, 0, 640, 640}},
        ZoomRectCase{{600, 400, 150, 150}, 320.0 / 150.0, {600, 400, 150, 150}},
        // Too small to show within the maximum: as large as allowed, centred on it.
        ZoomRectCase{{500, 300, 20, 20}, 5.0, {478, 278, 64, 64}},
        // Too large for the minimum: the minimum, pushed back inside the picture.
        ZoomRectCase{{0, 0, 1000, 1000}, 320.0 / 750.0, {125, 0, 750, 750}}));

TEST(ScrollViewZoom, AnimatedZoomToRectEndsWhereTheImmediateOneDoes) {
    Foundation::ManualClock clock;
    ZoomScene s;
    const int before = s.delegate->zooms;
    s.scroll->zoomToRect({100, 100, 300, 300}, Animated::Yes);
    runAnimations(clock);
    EXPECT_GT(s.delegate->zooms - before, 3); // did-zoom after every step
    EXPECT_EQ(s.delegate->endZooms, 1);
    EXPECT_NEAR(s.scroll->zoomScale(), 320.0 / 300.0, 1e-9);
    expectRectNear(s.targetRect(), {100, 100, 300, 300});
}

TEST(ScrollViewZoom, PinchZoomsAboutTheFingersAndBouncesBackToTheLimit) {
    Foundation::ManualClock clock;
    ZoomScene s;
    const double start = s.scroll->zoomScale();
    // 40 apart, then 60 (the pinch begins at scale 1), then 80 (× 4/3).
    s.play("1d140,300 2d180,300 1m120,300 1m100,300");
    EXPECT_NEAR(s.scroll->zoomScale(), start * 80 / 60, 1e-9);
    EXPECT_TRUE(s.scroll->isZooming());
    s.play("1u100,300 2u180,300");
    EXPECT_FALSE(s.scroll->isZooming());
    // Far past the maximum, then released: elastic while pinching, settles at the maximum.
    s.scroll->setZoomScale(4.5);
    s.play("1d150,300 2d170,300 1m130,300 1m10,300");
    EXPECT_GT(s.scroll->zoomScale(), 5.0);
    EXPECT_LT(s.scroll->zoomScale(), 4.5 * 160 / 40);
    s.play("1u10,300 2u170,300");
    runAnimations(clock);
    EXPECT_EQ(s.scroll->zoomScale(), 5.0);
    const Point o = s.scroll->contentOffset(), hi = s.scroll->maximumContentOffset();
    EXPECT_GE(o.x, 0);
    EXPECT_LE(o.x, hi.x);
}

struct PanScene {
    std::shared_ptr<Window> window = Window::create({400, 300}, 1);
    std::shared_ptr<ScrollView> scroll = ScrollView::create({0, 0, 200, 100});
    double time = 0;
    PanScene() {
        window->addSubview(scroll);
        scroll->setContentSize({1000, 100});
    }
    void play(const std::string& script) { ToolkitTest::play(window, &time, script); }
};

TEST(ScrollViewPan, FollowsTheFingerAndBouncesBackFromTheEdge) {
    Foundation::ManualClock clock;
    PanScene s;
    s.play("1d150,50 1m130,50"); // past the slop: dragging starts here, following what lies beyond it
    EXPECT_TRUE(s.scroll->isDragging());
    EXPECT_TRUE(s.scroll->areIndicatorsVisible());
    EXPECT_EQ(s.scroll->contentOffset(), (Point{10, 0}));
    s.play("1m50,70");
    EXPECT_EQ(s.scroll->contentOffset(), (Point{90, 0})); // vertical does not scroll
    s.play("1m190,90");
    EXPECT_LT(s.scroll->contentOffset().x, 0);   // pulled past the left edge…
    EXPECT_GT(s.scroll->contentOffset().x, -60); // …but it follows less than the finger
    s.play("1u190,90");
    EXPECT_TRUE(s.scroll->isDecelerating());
    runAnimations(clock);
    EXPECT_EQ(s.scroll->contentOffset(), (Point{0, 0}));
    EXPECT_FALSE(s.scroll->areIndicatorsVisible());
}

TEST(ScrollViewPan, AFlingGlidesOnAndATouchStopsIt) {
    Foundation::ManualClock clock;
    PanScene s;
    // 20 points every 16 ms.
    s.play("1d190,50 1m170,50 1m150,50 1m130,50 1m110,50 1m90,50 1m70,50 1m50,50 1m30,50 1m10,50 1u10,50");
    const double released = s.scroll->contentOffset().x;
    EXPECT_TRUE(s.scroll->isDecelerating());
    clock.advance(std::chrono::milliseconds(100));
    Foundation::RunLoop::main().runOnce();
    const double gliding = s.scroll->contentOffset().x;
    EXPECT_GT(gliding, released);
    s.play("1d100,50");
    EXPECT_FALSE(s.scroll->isDecelerating());
    runAnimations(clock);
    EXPECT_EQ(s.scroll->contentOffset().x, gliding);
    s.play("1u100,50");
}

TEST(ScrollViewPan, ContentThatFitsDoesNotScroll) {
    PanScene s;
    s.scroll->setContentSize({200, 100});
    s.play("1d150,50 1m50,50 1u50,50");
    EXPECT_EQ(s.scroll->contentOffset(), (Point{0, 0}));
    s.scroll->setAlwaysBounceHorizontal(true);
    s.play("1d150,50 1m50,50");
    EXPECT_GT(s.scroll->contentOffset().x, 0);
    s.play("1u50,50");
}

// A button on scrolling content, as in the tool strip.
struct ButtonOnScroll : PanScene {
    std::shared_ptr<Button> button = Button::create(ButtonType::Custom, {20, 20, 60, 60});
    std::string events;
    ButtonOnScroll() {
        scroll->addSubview(button);
        button->addAction([this](Control&) { events += 'd'; }, ControlEvent::TouchDown);
        button->addAction([this](Control&) { events += 'U'; }, ControlEvent::TouchUpInside);
        button->addAction([this](Control&) { events += 'o'; }, ControlEvent::TouchUpOutside);
        button->addAction([this](Control&) { events += 'c'; }, ControlEvent::TouchCancel);
    }
};

TEST(ScrollViewContentTouches, AQuickTapStillPressesTheButton) {
    Foundation::ManualClock clock;
    ButtonOnScroll s;
    s.play("1d50,50");
    EXPECT_EQ(s.events, ""); // held back while it might become a scroll
    s.play("1u50,50");
    EXPECT_EQ(s.events, "dU");
}

TEST(ScrollViewContentTouches, AHeldPressShowsAndAScrollCancelsIt) {
    Foundation::ManualClock clock;
    ButtonOnScroll s;
    s.play("1d50,50");
    waitPastTouchDelay(clock);
    EXPECT_TRUE(s.button->isHighlighted());
    s.play("1m40,50 1m10,50"); // becomes a scroll
    EXPECT_FALSE(s.button->isHighlighted());
    s.play("1u10,50");
    EXPECT_EQ(s.events, "dc");
    EXPECT_GT(s.scroll->contentOffset().x, 0);
}

TEST(ScrollViewContentTouches, ADragBeforeTheDelayNeverReachesTheButton) {
    Foundation::ManualClock clock;
    ButtonOnScroll s;
    s.play("1d50,50 1m10,50");
    waitPastTouchDelay(clock);
    s.play("1u10,50");
    EXPECT_EQ(s.events, "");
}

TEST(ScrollViewContentTouches, ATapThatStopsAGlideDoesNotPressTheButton) {
    Foundation::ManualClock clock;
    ButtonOnScroll s;
    s.button->setFrame({900, 20, 60, 60});
    s.scroll->setContentOffset({790, 0});
    s.play("1d150,50 1m130,50 1m120,50 1m110,50 1m100,50 1m90,50 1m80,50 1m70,50 1m60,50 1u60,50");
    ASSERT_TRUE(s.scroll->isDecelerating()); // pulled past the end: it springs back
    s.play("1d130,50");
    EXPECT_FALSE(s.scroll->isDecelerating());
    s.play("1u130,50");
    EXPECT_EQ(s.events, "");
    runAnimations(clock); // stopped past the end, it still settles at the end
    EXPECT_EQ(s.scroll->contentOffset().x, 800);
    s.play("1d130,50 1u130,50"); // the next tap presses the button
    EXPECT_EQ(s.events, "dU");
}

TEST(ScrollViewContentTouches, ContentKeepsItsTouchWhenTheScrollMayNotCancel) {
    Foundation::ManualClock clock;
    ButtonOnScroll s;
    s.scroll->setCanCancelContentTouches(false);
    s.scroll->setDelaysContentTouches(false);
    s.play("1d50,50");
    EXPECT_EQ(s.events, "d");
    s.play("1m30,50 1u30,50");
    EXPECT_EQ(s.events, "dU");
    EXPECT_EQ(s.scroll->contentOffset(), (Point{0, 0}));
}

TEST(ScrollView, DrawsContentAtTheOffsetClippedToItsBounds) {
    PanScene s;
    auto red = View::create({0, 0, 100, 100});
    red->setBackgroundColor({1, 0, 0, 1});
    auto blue = View::create({100, 0, 300, 100});
    blue->setBackgroundColor({0, 0, 1, 1});
    s.scroll->addSubview(red);
    s.scroll->addSubview(blue);
    s.scroll->setContentOffset({50, 0});
    s.window->displayIfNeeded();
    using P = std::array<int, 4>;
    EXPECT_EQ(ToolkitTest::pixel(*s.window, 10, 10), (P{255, 0, 0, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*s.window, 60, 10), (P{0, 0, 255, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*s.window, 210, 10), (P{0, 0, 0, 255})); // clipped
}

} // namespace
