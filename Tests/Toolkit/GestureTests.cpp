#include "Toolkit/ToolkitTestSupport.h"

#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/View.h>
#include <Toolkit/Window.h>
#include <gtest/gtest.h>
#include <string>

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
    // The view owns the recogniser, so the action must not own the view.
    std::weak_ptr<View> weak = view;
    recognizer->addAction([&into, weak](GestureRecognizer& r) {
        into.states.push_back(r.state());
        into.touches.push_back(r.numberOfTouches());
        into.locations.push_back(r.locationInView(weak.lock()));
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
    // A recogniser of type R on the view, its actions recorded into r.
    template <class R>
    std::shared_ptr<R> attach(Recording& r) {
        auto recognizer = R::create();
        view->addGestureRecognizer(recognizer);
        record(recognizer, r, view);
        return recognizer;
    }
    void play(const std::string& script) { ToolkitTest::play(window, &time, script); }
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
    Recording r;
    auto pan = s.attach<PanGestureRecognizer>(r);
    s.play("1d60,60 1m65,60"); // within the slop
    EXPECT_EQ(pan->state(), S::Possible);
    s.play("1m80,60");
    EXPECT_EQ(pan->state(), S::Began);
    EXPECT_EQ(pan->translationInView(s.view), (Graphics::Point{20, 0}));
    s.play("1m90,70");
    EXPECT_EQ(pan->translationInView(s.view), (Graphics::Point{30, 10}));
    s.play("1u90,70");
    EXPECT_EQ(r.states, (std::vector<S>{S::Began, S::Changed, S::Ended}));
    EXPECT_EQ(r.touches.back(), 0u);
    EXPECT_EQ(r.locations.back(), (Graphics::Point{40, 20})); // where it lifted, in the view
    EXPECT_EQ(pan->state(), S::Possible);                     // reset for the next sequence
    EXPECT_EQ(pan->translationInView(nullptr), (Graphics::Point{0, 0}));
}

TEST(PanGestureRecognizer, FailsWithoutMovementAndCancelsWithTheSystem) {
    Scene s;
    Recording r;
    s.attach<PanGestureRecognizer>(r);
    s.play("1d60,60 1u62,60");
    EXPECT_TRUE(r.states.empty()); // failing sends nothing
    s.play("1d60,60 1m100,60 1c100,60");
    EXPECT_EQ(r.states, (std::vector<S>{S::Began, S::Cancelled}));
}

TEST(PinchGestureRecognizer, StartsAtOneEachTimeAndReportsTheCentre) {
    Scene s;
    Recording r;
    s.attach<PinchGestureRecognizer>(r);
    // 40 apart, then 60 (past the slop: begins at exactly 1), then 80 (80 / 60).
    s.play("1d80,100 2d120,100 1m60,100 1m40,100");
    ASSERT_EQ(r.states, (std::vector<S>{S::Began, S::Changed}));
    EXPECT_EQ(r.scales[0], 1.0);
    EXPECT_DOUBLE_EQ(r.scales[1], 80.0 / 60.0);
    EXPECT_EQ(r.locations[1], (Graphics::Point{30, 50})); // centre (80, 100) in the view
    EXPECT_EQ(r.touches[1], 2u);
    s.play("2u120,100");
    EXPECT_EQ(r.states.back(), S::Changed);
    EXPECT_EQ(r.touches.back(), 1u);
    EXPECT_DOUBLE_EQ(r.scales.back(), 80.0 / 60.0);
    s.play("1u40,100");
    EXPECT_EQ(r.states.back(), S::Ended);
    // A second pinch starts from 1.0 again, not from where the first one ended.
    s.play("1d80,100 2d120,100 1m20,100");
    EXPECT_EQ(r.states.back(), S::Began);
    EXPECT_EQ(r.scales.back(), 1.0);
    s.play("1m50,100");
    EXPECT_DOUBLE_EQ(r.scales.back(), 70.0 / 100.0);
}

TEST(PinchGestureRecognizer, OneFingerAloneFails) {
    Scene s;
    Recording r;
    auto pinch = s.attach<PinchGestureRecognizer>(r);
    s.play("1d60,60 1m120,120 1u120,120");
    EXPECT_TRUE(r.states.empty());
    EXPECT_EQ(pinch->state(), S::Possible);
}

struct TapCase {
    const char* name;
    const char* script;
    bool recognized;
};

class TapGestureTest : public ::testing::TestWithParam<TapCase> {};

TEST_P(TapGestureTest, RecognisesOnlyAStillOneFingerTap) {
    Scene s;
    Recording r;
    auto tap = s.attach<TapGestureRecognizer>(r);
    s.play(GetParam().script);
    if (GetParam().recognized) {
        EXPECT_EQ(r.states, (std::vector<S>{S::Ended}));
        EXPECT_EQ(r.locations[0], (Graphics::Point{12, 10}));
    } else {
        EXPECT_TRUE(r.states.empty());
    }
    EXPECT_EQ(tap->state(), S::Possible);
}

INSTANTIATE_TEST_SUITE_P(Scripts, TapGestureTest,
                         ::testing::Values(TapCase{"Still", "1d60,60 1u62,60", true},
                                           TapCase{"Wobbly", "1d60,60 1m66,64 1u62,60", true},
                                           TapCase{"Dragged", "1d60,60 1m90,60 1u62,60", false},
                                           TapCase{"TwoFingers", "1d60,60 2d80,80 2u80,80 1u62,60", false},
                                           TapCase{"Cancelled", "1d60,60 1c62,60", false}),
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
    s.play("1d60,60 1m120,120 1u120,120 1d60,60 1c60,60");
    EXPECT_EQ(log, "DUDU");
    EXPECT_GT(delegate->asked, 0);

    // Without simultaneous recognition the touch-down recogniser wins the touch and the other fails.
    delegate->answer = false;
    log.clear();
    s.play("1d60,60 1u60,60");
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
    s.play("1d60,60 1u60,60");
    EXPECT_EQ(actions, 0);
}

TEST(GestureRecognizer, RecognitionTakesTheTouchesAwayFromTheViews) {
    Scene s;
    auto child = TouchLog::create({0, 0, 100, 100});
    s.view->addSubview(child);
    auto pan = PanGestureRecognizer::create();
    s.view->addGestureRecognizer(pan);
    s.play("1d60,60 1m62,60 1m90,60 1m95,60 1u95,60"); // the pan begins at 90: the view's touch is cancelled
    EXPECT_EQ(child->events, "bmc");

    child->events.clear();
    pan->setCancelsTouchesInView(false);
    s.play("1d60,60 1m90,60 1u90,60");
    EXPECT_EQ(child->events, "bme");

    // Recognisers of unrelated views see nothing.
    child->events.clear();
    auto other = View::create({0, 0, 40, 40});
    s.window->addSubview(other);
    auto tap = TapGestureRecognizer::create();
    other->addGestureRecognizer(tap);
    int taps = 0;
    tap->addAction([&](GestureRecognizer&) { ++taps; });
    s.play("1d60,60 1u60,60");
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
    s.play("1d60,60 1u60,60");
    EXPECT_EQ(target->calls, 1);
    std::weak_ptr<Target> weak = target;
    target.reset();
    EXPECT_TRUE(weak.expired());
    s.play("1d60,60 1u60,60"); // the gone target is skipped
}

TEST(CustomGestureRecognizer, SystemCancellationReportsTouchUp) {
    Scene s;
    auto up = TouchUpRecognizer::create();
    s.view->addGestureRecognizer(up);
    int ups = 0;
    up->addAction([&](GestureRecognizer&) { ++ups; });
    s.play("1d60,60");
    s.window->cancelAllTouches(1.0);
    EXPECT_EQ(ups, 1);
    s.play("1u60,60"); // already gone: ignored
    EXPECT_EQ(ups, 1);
}

} // namespace
