#pragma once

// The soak run: a random finger over the editor's screens, with the edit list and the history
// checked after every touch event.

#include "Delegate.h"
#include "Faults.h"
#include "HistoryModel.h"
#include "Statistics.h"

#include <Common/ExitStatus.h>
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Editor/EditorHost.h>
#include <Foundation/Bundle.h>
#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <Foundation/UndoManager.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Hosts/HeadlessHost.h>
#include <ImageEngine/Context.h>
#include <Toolkit/CollectionView.h>
#include <Toolkit/NavigationController.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <View/RUXBlurViewController.h>
#include <View/RUXCropViewController.h>
#include <View/RUXMainViewController.h>
#include <View/RUXRotateViewController.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXZoomScrollView.h>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace RuxSoak {

constexpr int kExitFailure = ExitStatus::kFailure;
constexpr double kFrame = 1.0 / 60;
// runUntilIdle gives up after 10 s of real time; a sanitised build with a queue of renders may
// need a few of those.
constexpr int kIdleAttempts = 12;
// Enough touches that every screen is reached with any seed.
constexpr long kTouchesToVisitEverything = 500;

struct Options {
    std::uint64_t seed = 1;
    long touches = 5000;
    std::string photoPath;
    int photoWidth = 1536;
    int photoHeight = 1024;
    double scale = 2;
    int idleEvery = 40;
    // Prints a line per touch: what was done where, the committed list and the memory.
    bool trace = false;
    // With faults (see Faults.h): the folder scripts/soak-faults.sh prepared, a fault about every
    // faultEvery touches on the main screen, and a kill every reopenEvery touches (0: none).
    std::string faultsDirectory;
    int faultEvery = 25;
    long reopenEvery = 300;
};

class Soak {
public:
    Soak(const Options& options, std::unique_ptr<Hosts::HeadlessHost> host,
         std::shared_ptr<const Graphics::BitmapImage> photo)
        : m_options(options), m_host(std::move(host)), m_random(options.seed) {
        m_delegate = std::make_shared<DiscardingDelegate>();
        m_session = EditorHost::makeSession(std::move(photo), m_delegate);
        m_manager = m_session.editor->editManager();
        m_renderer = m_session.editor->imageRenderer();
        if (!options.faultsDirectory.empty()) {
            m_faults =
                std::make_unique<Faults>(options.faultsDirectory, journalKey(options), options.reopenEvery);
            // A run taken up after a kill plays new touches from where the killed one stopped.
            m_random.seed(options.seed + std::uint64_t(m_faults->firstStep()));
            // Before the editor is shown, as a host restores a journal.
            m_openingProblem = m_faults->open(*m_session.editor, m_history);
        }
        m_host->application().setRootViewController(m_session.navigation);
    }

    int run();

private:
    // ---- Where things are ----

    std::shared_ptr<Toolkit::ViewController> presentedScreen() const {
        if (auto presented = m_session.navigation->presentedViewController()) {
            return presented;
        }
        return m_session.editor->presentedViewController();
    }

    Screen currentScreen() const {
        const std::shared_ptr<Toolkit::ViewController> screen = presentedScreen();
        if (!screen) {
            return kMain;
        }
        if (dynamic_cast<RUXCropViewController*>(screen.get())) {
            return kCrop;
        }
        if (dynamic_cast<RUXBrightnessViewController*>(screen.get())) {
            return kBrightness;
        }
        if (dynamic_cast<RUXSaturationViewController*>(screen.get())) {
            return kSaturation;
        }
        if (dynamic_cast<RUXContrastViewController*>(screen.get())) {
            return kContrast;
        }
        if (dynamic_cast<RUXBlurViewController*>(screen.get())) {
            return kBlur;
        }
        if (dynamic_cast<RUXRotateViewController*>(screen.get())) {
            return kRotate;
        }
        if (dynamic_cast<RUXTransformationViewControllerBase*>(screen.get())) {
            return kAdded;
        }
        fail("a screen the soak does not know is showing");
        return kMain;
    }

    Graphics::Rect windowBounds() const { return m_host->window()->bounds(); }

    static Graphics::Rect rectInWindow(const Toolkit::View& view) {
        const Graphics::Rect b = view.bounds();
        const Graphics::Point a = view.convertPointToView({b.minX(), b.minY()}, nullptr);
        const Graphics::Point c = view.convertPointToView({b.maxX(), b.maxY()}, nullptr);
        return {std::min(a.x, c.x), std::min(a.y, c.y), std::abs(c.x - a.x), std::abs(c.y - a.y)};
    }

    // The part of a view that shows: clipped by every ancestor and the window. Empty when hidden.
    Graphics::Rect visibleRect(const std::shared_ptr<Toolkit::View>& view) const {
        if (!view) {
            return {};
        }
        Graphics::Rect rect = rectInWindow(*view).intersection(windowBounds());
        for (std::shared_ptr<Toolkit::View> v = view; v; v = v->superview()) {
            if (v->isHidden()) {
                return {};
            }
            rect = rect.intersection(rectInWindow(*v));
        }
        return rect.isNull() || rect.isEmpty() ? Graphics::Rect{} : rect;
    }

    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(m_random); }
    int integer(int a, int b) { return std::uniform_int_distribution<int>(a, b)(m_random); }
    bool chance(double p) { return uniform(0, 1) < p; }

    Graphics::Point pointIn(const Graphics::Rect& r, double margin = 0.1) {
        return {r.minX() + r.size.width * uniform(margin, 1 - margin),
                r.minY() + r.size.height * uniform(margin, 1 - margin)};
    }
    Graphics::Point anywhere() { return pointIn(windowBounds(), 0); }

    template <class T>
    const T& pick(const std::vector<T>& items) {
        return items[std::size_t(integer(0, int(items.size()) - 1))];
    }

    // ---- Touches: each event is followed by the checks ----

    void down(int finger, Graphics::Point p) {
        m_host->touchDown(finger, p);
        ++m_statistics.events;
        check("touch down");
    }
    void move(int finger, Graphics::Point p) {
        m_host->touchMove(finger, p);
        ++m_statistics.events;
        check("touch move");
    }
    void up(int finger) {
        // Now and then the system takes the finger away instead.
        if (chance(0.03)) {
            m_host->touchCancel(finger);
        } else {
            m_host->touchUp(finger);
        }
        ++m_statistics.events;
        check("touch up");
    }
    void wait(double seconds) {
        m_host->advance(seconds);
        check("waiting");
    }

    void tap(Graphics::Point p) {
        down(1, p);
        wait(uniform(0.02, 0.12));
        up(1);
    }
    void hold(Graphics::Point p) {
        down(1, p);
        wait(uniform(0.15, 0.8));
        up(1);
    }
    void drag(Graphics::Point a, Graphics::Point b, int steps) {
        down(1, a);
        for (int i = 1; i <= steps; ++i) {
            wait(kFrame * integer(1, 2));
            const double t = double(i) / steps;
            move(1, {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
        }
        if (chance(0.5)) {
            wait(kFrame);
        }
        up(1);
    }
    void pinch(Graphics::Point centre, double from, double to, int steps) {
        const double angle = uniform(0, 3.14159);
        const Graphics::Point dir{std::cos(angle) / 2, std::sin(angle) / 2};
        auto at = [&](int finger, double d) {
            const double s = finger == 1 ? -d : d;
            return Graphics::Point{centre.x + dir.x * s, centre.y + dir.y * s};
        };
        down(1, at(1, from));
        wait(kFrame);
        down(2, at(2, from));
        for (int i = 1; i <= steps; ++i) {
            wait(kFrame);
            const double d = from + (to - from) * double(i) / steps;
            move(1, at(1, d));
            move(2, at(2, d));
        }
        // Either finger may lift first; sometimes the other one still moves after that.
        const int first = integer(1, 2);
        up(first);
        if (chance(0.3)) {
            move(3 - first, at(3 - first, to * 1.2));
        }
        up(3 - first);
    }
    void doubleTap(Graphics::Point p) {
        tap(p);
        wait(0.1);
        tap(p);
    }
    // Something anyone might do anywhere: a tap, a hold, a swipe.
    void randomTouch() {
        const Graphics::Point p = anywhere();
        switch (integer(0, 2)) {
        case 0:
            tap(p);
            break;
        case 1:
            hold(p);
            break;
        default:
            drag(p, anywhere(), integer(1, 8));
            break;
        }
    }
    // A finger rests somewhere while another one touches the given point; then the first moves
    // and lifts.
    void twoFingers(Graphics::Point second) {
        down(1, anywhere());
        wait(kFrame * integer(0, 3));
        down(2, second);
        wait(uniform(0.02, 0.1));
        up(2);
        move(1, anywhere());
        up(1);
    }
    void tapView(const std::shared_ptr<Toolkit::View>& view) {
        const Graphics::Rect r = visibleRect(view);
        tap(r.isEmpty() ? anywhere() : pointIn(r, 0.2));
    }

    // ---- What to do on each screen ----

    void stepOnMain();
    void stepOnScalar(RUXScalarTransformationViewControllerBase& screen);
    void stepOnRotate(RUXRotateViewController& screen);
    void stepOnBlur(RUXBlurViewController& screen);
    void stepOnCrop(RUXCropViewController& screen);
    void stepOnAdded(RUXTransformationViewControllerBase& screen);
    // OK, Cancel, a random touch or two fingers; false when the caller should choose instead.
    bool commonToolStep(RUXOkCancelBar* bar);

    // ---- Checks ----

    [[noreturn]] void fail(const std::string& what) const;
    void check(const char* when);
    void checkSettled();
    void settle(const char* when);
    // Lets the main loop and the pool run for a moment without waiting for them to finish.
    void pump();

    void report(const char* label, double seconds) const { printProgress(label, m_step, seconds); }
    // The journal's key of the photo the soak edits (a synthetic one has no file to hash).
    static std::string journalKey(const Options& options);
    // A fault now and then, and the kill every reopenEvery touches; fails on anything lost.
    void injectFaults(Screen screen);

    Options m_options;
    std::unique_ptr<Hosts::HeadlessHost> m_host;
    std::mt19937_64 m_random;
    std::shared_ptr<DiscardingDelegate> m_delegate;
    EditorHost::Session m_session;
    std::shared_ptr<RUXEditManager> m_manager;
    std::shared_ptr<RUXImageRenderer> m_renderer;
    HistoryModel m_history;
    std::unique_ptr<Faults> m_faults;
    std::string m_openingProblem;

    long m_step = 0;
    const char* m_action = "opening";
    Statistics m_statistics;
};

} // namespace RuxSoak
