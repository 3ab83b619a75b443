#include "Toolkit/ToolkitTestSupport.h"

#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/View.h>
#include <Toolkit/Window.h>
#include <gtest/gtest.h>

using namespace Toolkit;
using ToolkitTest::Finger;
using S = GestureRecognizerState;

namespace {

struct Recording {
    std::vector<S> states;
    std::vector<std::size_t> touches;
    std::vector<Graphics::Point> locations;
    std::vector<double> scales;
};

template <class R>
void record(const std::shared_ptr<R>& recognizer, Recording& into, const std::shared_ptr<View>& view) {
    recognizer->addAction([&into, view](GestureRecognizer& r) {
        into.states.push_back(r.state());
        into.touches.push_back(r.numberOfTouches());
        into.locations.push_back(r.locationInView(view));
        if (auto* pinch = dynamic_cast<PinchGestureRecognizer*>(&r))
            into.scales.push_back(pinch->scale());
    });
}

// A window of 200 × 200 points with one view at (50, 50) covering 100 × 100.
struct Scene {
    std::shared_ptr<Window> window = Window::create({200, 200}, 1);
    std::shared_ptr<View> view = View::create({50, 50, 100, 100});
    double time = 0;
    Scene() { window->addSubview(view); }
    Finger finger(int id) { return Finger(window, id, &time); }
};

class TouchLog : public View {
public:
    static std::shared_ptr<TouchLog> create(const Graphics::Rect& frame) {
        return std::shared_ptr<TouchLog>(new TouchLog(frame));
    }
    void touchesBegan(const Touches&) override { events += "b"; }
    void touchesMoved(const Touches&) override { events += "m"; }
    void touchesEnded(const Touches&) override { events += "e"; }
    void touchesCancelled(const Touches&) override { events += "c"; }
    std::string events;

private:
    explicit TouchLog(const Graphics::Rect& frame) : View(frame) {}
};

TEST(PanGestureRecognizer, BeginsAfterTheSlopThenFollowsTheFingerUntilItLifts) {
    Scene s;
    auto pan = PanGestureRecognizer::create();
    s.view->addGestureRecognizer(pan);
    Recording r;
    record(pan, r, s.view);
    Finger f = s.finger(1);
    f.down(60, 60);
    f.move(65, 60); // within the slop
    EXPECT_EQ(pan->state(), S::Possible);
    f.move(80, 60);
    EXPECT_EQ(pan->state(), S::Began);
    EXPECT_EQ(pan->translationInView(s.view), (Graphics::Point{20, 0}));
    f.move(90, 70);
    EXPECT_EQ(pan->translationInView(s.view), (Graphics::Point{30, 10}));
    f.up(90, 70);
    EXPECT_EQ(r.states, (std::vector<S>{S::Began, S::Changed, S::Ended}));
    EXPECT_EQ(r.touches.back(), 0u);
    EXPECT_EQ(r.locations.back(), (Graphics::Point{40, 20})); // where it lifted, in the view
    EXPECT_EQ(pan->state(), S::Possible);                     // reset for the next sequence
    EXPECT_EQ(pan->translationInView(nullptr), (Graphics::Point{0, 0}));
}

TEST(PanGestureRecognizer, FailsWithoutMovementAndCancelsWithTheSystem) {
    Scene s;
    auto pan = PanGestureRecognizer::create();
    s.view->addGestureRecognizer(pan);
    Recording r;
    record(pan, r, s.view);
    Finger f = s.finger(1);
    f.down(60, 60);
    f.up(62, 60);
    EXPECT_TRUE(r.states.empty()); // failing sends nothing
    f.down(60, 60);
    f.move(100, 60);
    f.cancel(100, 60);
    EXPECT_EQ(r.states, (std::vector<S>{S::Began, S::Cancelled}));
}

TEST(PinchGestureRecognizer, StartsAtOneEachTimeAndReportsTheCentre) {
    Scene s;
    auto pinch = PinchGestureRecognizer::create();
    s.view->addGestureRecognizer(pinch);
    Recording r;
    record(pinch, r, s.view);
    Finger a = s.finger(1), b = s.finger(2);
    a.down(80, 100);
    b.down(120, 100); // 40 apart
    a.move(60, 100);  // 60 apart: past the slop, begins at exactly 1
    a.move(40, 100);  // 80 apart: 80 / 60
    ASSERT_EQ(r.states, (std::vector<S>{S::Began, S::Changed}));
    EXPECT_EQ(r.scales[0], 1.0);
    EXPECT_DOUBLE_EQ(r.scales[1], 80.0 / 60.0);
    EXPECT_EQ(r.locations[1], (Graphics::Point{30, 50})); // centre (80, 100) in the view
    EXPECT_EQ(r.touches[1], 2u);
    b.up(120, 100);
    EXPECT_EQ(r.states.back(), S::Changed);
    EXPECT_EQ(r.touches.back(), 1u);
    EXPECT_DOUBLE_EQ(r.scales.back(), 80.0 / 60.0);
    a.up(40, 100);
    EXPECT_EQ(r.states.back(), S::Ended);
    // A second pinch starts from 1.0 again, not from where the first one ended.
    a.down(80, 100);
    b.down(120, 100);
    a.move(20, 100);
    EXPECT_EQ(r.states.back(), S::Began);
    EXPECT_EQ(r.scales.back(), 1.0);
    a.move(50, 100);
    EXPECT_DOUBLE_EQ(r.scales.back(), 70.0 / 100.0);
}

TEST(PinchGestureRecognizer, OneFingerAloneFails) {
    Scene s;
    auto pinch = PinchGestureRecognizer::create();
    s.view->addGestureRecognizer(pinch);
    Recording r;
    record(pinch, r, s.view);
    Finger a = s.finger(1);
    a.down(60, 60);
    a.move(120, 120);
    a.up(120, 120);
    EXPECT_TRUE(r.states.empty());
    EXPECT_EQ(pinch->state(), S::Possible);
}

struct TapCase {
    const char* name;
    std::function<void(Scene&)> script;
    bool recognized;
};

class TapGestureTest : public ::testing::TestWithParam<TapCase> {};

TEST_P(TapGestureTest, RecognisesOnlyAStillOneFingerTap) {
    Scene s;
    auto tap = TapGestureRecognizer::create();
    s.view->addGestureRecognizer(tap);
    Recording r;
    record(tap, r, s.view);
    GetParam().script(s);
    if (GetParam().recognized) {
        EXPECT_EQ(r.states, (std::vector<S>{S::Ended}));
        EXPECT_EQ(r.locations[0], (Graphics::Point{12, 10}));
    } else {
        EXPECT_TRUE(r.states.empty());
    }
    EXPECT_EQ(tap->state(), S::Possible);
}

INSTANTIATE_TEST_SUITE_P(Scripts, TapGestureTest,
                         ::testing::Values(TapCase{"Still",
                                                   [](Scene& s) {
                                                       Finger f = s.finger(1);
                                                       f.down(60, 60);
                                                       f.up(62, 60);
                                                   },
                                                   true},
                                           TapCase{"Wobbly",
                                                   [](Scene& s) {
                                                       Finger f = s.finger(1);
                                                       f.down(60, 60);
                                                       f.move(66, 64);
                                                       f.up(62, 60);
                                                   },
                                                   true},
                                           TapCase{"Dragged",
                                                   [](Scene& s) {
                                                       Finger f = s.finger(1);
                                                       f.down(60, 60);
                                                       f.move(90, 60);
                                                       f.up(62, 60);
                                                   },
                                                   false},
                                           TapCase{"TwoFingers",
                                                   [](Scene& s) {
                                                       Finger a = s.finger(1), b = s.finger(2);
                                                       a.down(60, 60);
                                                       b.down(80, 80);
                                                       b.up(80, 80);
                                                       a.up(62, 60);
                                                   },
                                                   false},
                                           TapCase{"Cancelled",
                                                   [](Scene& s) {
                                                       Finger f = s.finger(1);
                                                       f.down(60, 60);
                                                       f.cancel(62, 60);
                                                   },
                                                   false}),
                         [](const ::testing::TestParamInfo<TapCase>& info) {
                             return std::string(info.param.name);
                         });

// The editor's two custom recognisers: one recognises when a finger lands, the other when it lifts
// or the system cancels it.
class TouchDownRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<TouchDownRecognizer> create() {
        return std::shared_ptr<TouchDownRecognizer>(new TouchDownRecognizer());
    }

protected:
    void touchesBegan(const Touches&) override {
        if (state() == S::Possible)
            setState(kGestureRecognized);
    }
    void touchesEnded(const Touches&) override { setState(S::Failed); }
};

class TouchUpRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<TouchUpRecognizer> create() {
        return std::shared_ptr<TouchUpRecognizer>(new TouchUpRecognizer());
    }

protected:
    void touchesEnded(const Touches&) override {
        if (state() == S::Possible)
            setState(kGestureRecognized);
    }
    void touchesCancelled(const Touches&) override {
        if (state() == S::Possible)
            setState(kGestureRecognized);
    }
};

struct Simultaneous : GestureRecognizerDelegate {
    bool answer = true;
    int asked = 0;
    bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) override {
        ++asked;
        return answer;
    }
};

TEST(CustomGestureRecognizer, DownAndUpTogetherThroughTheDelegate) {
    Scene s;
    auto down = TouchDownRecognizer::create();
    auto up = TouchUpRecognizer::create();
    auto delegate = std::make_shared<Simultaneous>();
    down->setDelegate(delegate);
    up->setDelegate(delegate);
    s.view->addGestureRecognizer(down);
    s.view->addGestureRecognizer(up);
    std::string log;
    down->addAction([&](GestureRecognizer&) { log += "D"; });
    up->addAction([&](GestureRecognizer&) { log += "U"; });
    Finger f = s.finger(1);
    f.down(60, 60);
    f.move(120, 120);
    f.up(120, 120);
    f.down(60, 60);
    f.cancel(60, 60);
    EXPECT_EQ(log, "DUDU");
    EXPECT_GT(delegate->asked, 0);

    // Without simultaneous recognition the touch-down recogniser wins the touch and the other fails.
    delegate->answer = false;
    log.clear();
    f.down(60, 60);
    f.up(60, 60);
    EXPECT_EQ(log, "D");
}

struct Refusing : GestureRecognizerDelegate {
    bool gestureRecognizerShouldBegin(GestureRecognizer&) override { return false; }
};

TEST(GestureRecognizer, DelegateCanStopItFromBeginning) {
    Scene s;
    auto tap = TapGestureRecognizer::create();
    auto delegate = std::make_shared<Refusing>();
    tap->setDelegate(delegate);
    s.view->addGestureRecognizer(tap);
    int actions = 0;
    tap->addAction([&](GestureRecognizer&) { ++actions; });
    Finger f = s.finger(1);
    f.down(60, 60);
    f.up(60, 60);
    EXPECT_EQ(actions, 0);
}

TEST(GestureRecognizer, RecognitionTakesTheTouchesAwayFromTheViews) {
    Scene s;
    auto child = TouchLog::create({0, 0, 100, 100});
    s.view->addSubview(child);
    auto pan = PanGestureRecognizer::create();
    s.view->addGestureRecognizer(pan);
    Finger f = s.finger(1);
    f.down(60, 60);
    f.move(62, 60);
    f.move(90, 60); // the pan begins: the view's touch is cancelled
    f.move(95, 60);
    f.up(95, 60);
    EXPECT_EQ(child->events, "bmc");

    child->events.clear();
    pan->setCancelsTouchesInView(false);
    f.down(60, 60);
    f.move(90, 60);
    f.up(90, 60);
    EXPECT_EQ(child->events, "bme");

    // Recognisers of unrelated views see nothing.
    child->events.clear();
    auto other = View::create({0, 0, 40, 40});
    s.window->addSubview(other);
    auto tap = TapGestureRecognizer::create();
    other->addGestureRecognizer(tap);
    int taps = 0;
    tap->addAction([&](GestureRecognizer&) { ++taps; });
    f.down(60, 60);
    f.up(60, 60);
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(child->events, "be");
}

TEST(GestureRecognizer, TargetsAreHeldWeakly) {
    Scene s;
    struct Target {
        int calls = 0;
        void handle(TapGestureRecognizer&) { ++calls; }
    };
    auto target = std::make_shared<Target>();
    auto tap = TapGestureRecognizer::create();
    tap->addTarget(target, &Target::handle);
    s.view->addGestureRecognizer(tap);
    Finger f = s.finger(1);
    f.down(60, 60);
    f.up(60, 60);
    EXPECT_EQ(target->calls, 1);
    std::weak_ptr<Target> weak = target;
    target.reset();
    EXPECT_TRUE(weak.expired());
    f.down(60, 60);
    f.up(60, 60); // the gone target is skipped
}

} // namespace

namespace {

TEST(CustomGestureRecognizer, SystemCancellationReportsTouchUp) {
    Scene s;
    auto up = TouchUpRecognizer::create();
    s.view->addGestureRecognizer(up);
    int ups = 0;
    up->addAction([&](GestureRecognizer&) { ++ups; });
    Finger f = s.finger(1);
    f.down(60, 60);
    s.window->cancelAllTouches(1.0);
    EXPECT_EQ(ups, 1);
    f.up(60, 60); // already gone: ignored
    EXPECT_EQ(ups, 1);
}

} // namespace
