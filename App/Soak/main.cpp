// rux-soak: thousands of random touches over the editor on the headless host, most of them
// arriving while the previous touch's renders are still running on the pool. After every touch
// event the edit list and the undo history are checked; resident memory is reported at the start,
// after the warm-up and at the end. Exit status: 0 when every check held, 1 on the first broken
// one (one line on stderr saying what and where), 2 for bad arguments.

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

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr double kFrame = 1.0 / 60;
// runUntilIdle gives up after 10 s of real time; a sanitised build with a queue of renders may
// need a few of those.
constexpr int kIdleAttempts = 12;
// Enough touches that every screen is reached with any seed.
constexpr long kTouchesToVisitEverything = 500;

const char* const kUsage =
    "usage: rux-soak [--seed N] [--touches N] [--photo FILE | --size WxH] [--scale S] [--idle-every N]\n"
    "                [--trace]\n"
    "  Plays N random touches (default 5000) over every screen of the editor on the headless host\n"
    "  (375 x 667 points at scale S, default 2), on PHOTO or a synthetic photo of W x H pixels\n"
    "  (default 1536 x 1024). Most touches arrive while earlier renders are still running; about\n"
    "  one in N (default 40) waits until everything has settled. The edit list and the undo\n"
    "  history are checked after every touch event. --trace prints a line per touch.\n"
    "  Exit status: 0 every check held, 1 a check failed, 2 bad arguments.\n";

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
};

// ---- Memory ----

// A "Name:   123 kB" line of /proc/self/status, in kB; 0 when it cannot be read.
long statusKilobytes(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return 0;
}

double megabytes(long kilobytes) {
    return double(kilobytes) / 1024.0;
}

// ---- The photo ----

// Smooth gradients with hard-edged bands and a disc, so that every edit (and every crop and turn)
// changes the picture visibly.
std::shared_ptr<Graphics::BitmapImage> makeSyntheticPhoto(int width, int height) {
    auto bitmap = Graphics::Bitmap::create(width, height);
    if (!bitmap) {
        return nullptr;
    }
    const double cx = width * 0.62, cy = height * 0.4, radius = std::min(width, height) * 0.22;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (int x = 0; x < width; ++x) {
            const double dx = x - cx, dy = y - cy;
            const bool disc = dx * dx + dy * dy < radius * radius;
            const bool band = ((x / 96) + (y / 64)) % 5 == 0;
            std::uint8_t* p = row + 4 * x;
            p[0] = std::uint8_t(disc ? 240 : (x * 255) / std::max(1, width - 1));
            p[1] = std::uint8_t(disc ? 200 : (y * 255) / std::max(1, height - 1));
            p[2] = std::uint8_t(band ? 30 : 160 + (x + y) % 64);
            p[3] = 255;
        }
    }
    return Graphics::BitmapImage::create(std::move(bitmap), 1.0);
}

// ---- The host's side ----

class DiscardingDelegate : public RUXImageEditorViewControllerDelegate {
public:
    void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController&, std::shared_ptr<const Graphics::BitmapImage> image) override {
        ++(image ? saves : failedSaves);
    }
    void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController&) override { ++cancels; }

    long saves = 0;
    long failedSaves = 0;
    long cancels = 0;
};

// ---- The history the edit list should have ----

// What the committed list must look like after each undo, redo and commit, followed through the
// undo manager's step counts. It keeps every list the history can reach, oldest first: the one at
// m_position is the current list, those before it are reached by undo, those after it by redo.
class HistoryModel {
public:
    enum class Change { None, Undo, Redo, Commit };

    // Follows the manager to its new state; answers what is wrong, or "" when it is consistent.
    std::string observe(const RUXTransformationList& list, std::size_t undoSteps, std::size_t redoSteps,
                        std::size_t levels) {
        if (m_states.empty()) {
            m_states.push_back(list);
            m_position = 0;
            return undoSteps == 0 && redoSteps == 0 ? "" : "a new editor already has a history";
        }
        const std::size_t redoModel = m_states.size() - 1 - m_position;
        std::ostringstream what;
        // An undo: one step moved from the undo stack to the redo stack.
        if (m_position > 0 && undoSteps == m_position - 1 && redoSteps == redoModel + 1) {
            if (list != m_states[m_position - 1]) {
                return "undo did not bring back the list as it was before the undone step";
            }
            --m_position;
            m_change = Change::Undo;
            return "";
        }
        // A redo, unless it is a commit that happened to put back the very same objects (the
        // filter strip commits its own objects), which leaves the model in the same state.
        if (redoModel > 0 && undoSteps == m_position + 1 && redoSteps == redoModel - 1 &&
            list == m_states[m_position + 1]) {
            ++m_position;
            m_change = Change::Redo;
            return "";
        }
        m_change = Change::None;
        if (undoSteps == m_position && redoSteps == redoModel && list == m_states[m_position]) {
            return "";
        }
        // A commit: one new step, the redo stack emptied; at the limit the oldest step goes.
        const std::size_t expectedUndo = levels > 0 ? std::min(m_position + 1, levels) : m_position + 1;
        if (redoSteps == 0 && undoSteps == expectedUndo) {
            m_states.resize(m_position + 1);
            m_states.push_back(list);
            while (levels > 0 && m_states.size() > levels + 1) {
                m_states.erase(m_states.begin());
            }
            m_position = m_states.size() - 1;
            m_change = Change::Commit;
            return "";
        }
        what << "the history went from " << m_position << " undo and " << redoModel << " redo steps to "
             << undoSteps << " and " << redoSteps
             << (list == m_states[m_position] ? " with the list unchanged" : " with a changed list");
        return what.str();
    }

    // What the last observe saw happen.
    Change change() const { return m_change; }

private:
    Change m_change = Change::None;
    std::vector<RUXTransformationList> m_states;
    std::size_t m_position = 0;
};

// ---- The run ----

enum Screen { kMain, kCrop, kBrightness, kSaturation, kContrast, kBlur, kRotate, kScreenCount };
const char* const kScreenNames[kScreenCount] = {"main",     "crop", "brightness", "saturation",
                                                "contrast", "blur", "rotate"};

class Soak {
public:
    Soak(const Options& options, std::unique_ptr<Hosts::HeadlessHost> host,
         std::shared_ptr<const Graphics::BitmapImage> photo)
        : m_options(options), m_host(std::move(host)), m_random(options.seed) {
        m_delegate = std::make_shared<DiscardingDelegate>();
        m_session = EditorHost::makeSession(std::move(photo), m_delegate);
        m_host->application().setRootViewController(m_session.navigation);
        m_manager = m_session.editor->editManager();
        m_renderer = m_session.editor->imageRenderer();
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
        ++m_events;
        check("touch down");
    }
    void move(int finger, Graphics::Point p) {
        m_host->touchMove(finger, p);
        ++m_events;
        check("touch move");
    }
    void up(int finger) {
        // Now and then the system takes the finger away instead.
        if (chance(0.03)) {
            m_host->touchCancel(finger);
        } else {
            m_host->touchUp(finger);
        }
        ++m_events;
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
    // OK, Cancel, a random touch or two fingers; false when the caller should choose instead.
    bool commonToolStep(RUXOkCancelBar* bar);

    // ---- Checks ----

    [[noreturn]] void fail(const std::string& what) const;
    void check(const char* when);
    void checkSettled();
    void settle(const char* when);
    // Lets the main loop and the pool run for a moment without waiting for them to finish.
    void pump();

    void report(const char* label, double seconds) const;

    Options m_options;
    std::unique_ptr<Hosts::HeadlessHost> m_host;
    std::mt19937_64 m_random;
    std::shared_ptr<DiscardingDelegate> m_delegate;
    EditorHost::Session m_session;
    std::shared_ptr<RUXEditManager> m_manager;
    std::shared_ptr<RUXImageRenderer> m_renderer;
    HistoryModel m_history;

    long m_step = 0;
    long m_events = 0;
    long m_idles = 0;
    const char* m_action = "opening";
    std::array<long, kScreenCount> m_steps{};
    std::array<long, kScreenCount> m_entries{};
    long m_commits = 0;
    long m_undos = 0;
    long m_redos = 0;
};

void Soak::fail(const std::string& what) const {
    std::fflush(stdout);
    std::fprintf(stderr, "rux-soak: step %ld (%s, seed %llu): %s\n", m_step, m_action,
                 static_cast<unsigned long long>(m_options.seed), what.c_str());
    std::fprintf(stderr, "rux-soak: committed list:");
    for (const RUXTransformationPtr& t : m_manager->transformations()) {
        std::fprintf(stderr, " %s(type %lld, order %g)", t ? t->transformationClass().name : "null",
                     t ? static_cast<long long>(t->type()) : -1LL, t ? t->sortOrder() : 0.0);
    }
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    // Pool threads are still rendering: leave without running destructors under them.
    std::_Exit(kExitFailure);
}

void Soak::check(const char* when) {
    const RUXTransformationList list = m_manager->transformations();
    std::array<int, RUXTransformationTypeNormalize + 1> perType{};
    double previousOrder = -INFINITY;
    for (const RUXTransformationPtr& t : list) {
        if (!t) {
            fail(std::string("after a ") + when + ": the committed list holds a null entry");
        }
        const RUXTransformationType type = t->type();
        if (type < 0 || type > RUXTransformationTypeNormalize) {
            fail(std::string("after a ") + when + ": a committed " + t->transformationClass().name +
                 " has the unknown type " + std::to_string(type));
        }
        if (++perType[std::size_t(type)] > 1) {
            fail(std::string("after a ") + when + ": two committed transformations of type " +
                 std::to_string(type));
        }
        if (t->sortOrder() < previousOrder) {
            fail(std::string("after a ") + when + ": the committed list is not sorted by sort order");
        }
        previousOrder = t->sortOrder();
    }
    const RUXTransformationPtr normalize =
        m_manager->getTransformationWithType(RUXTransformationTypeNormalize);
    if (!normalize || &normalize->transformationClass() != &RUXNormalizeTransformation::classDescriptor()) {
        fail(std::string("after a ") + when + ": the normalisation is missing from the committed list");
    }

    const Foundation::UndoManager& undo = *m_manager->undoManager();
    const std::size_t undoSteps = undo.undoStepCount(), redoSteps = undo.redoStepCount();
    if (m_manager->canRedo() != (redoSteps > 0) ||
        (undo.groupingLevel() == 0 && m_manager->canUndo() != (undoSteps > 0))) {
        fail(std::string("after a ") + when + ": canUndo/canRedo disagree with the history's steps");
    }
    const std::string history = m_history.observe(list, undoSteps, redoSteps, undo.levelsOfUndo());
    if (!history.empty()) {
        fail(std::string("after a ") + when + ": " + history);
    }
    switch (m_history.change()) {
    case HistoryModel::Change::Undo:
        ++m_undos;
        break;
    case HistoryModel::Change::Redo:
        ++m_redos;
        break;
    case HistoryModel::Change::Commit:
        ++m_commits;
        break;
    case HistoryModel::Change::None:
        break;
    }

    // The main screen's own view of the history and of the committed look.
    if (!presentedScreen() && m_session.editor->isViewLoaded()) {
        RUXMainViewController& editor = *m_session.editor;
        if (editor.undoButton()->isEnabled() != m_manager->canUndo() ||
            editor.redoButton()->isEnabled() != m_manager->canRedo()) {
            fail(std::string("after a ") + when + ": the undo/redo buttons say " +
                 (editor.undoButton()->isEnabled() ? "undo" : "no undo") + " and " +
                 (editor.redoButton()->isEnabled() ? "redo" : "no redo") + ", the history " +
                 (m_manager->canUndo() ? "undo" : "no undo") + " and " +
                 (m_manager->canRedo() ? "redo" : "no redo"));
        }
        const RUXTransformationPtr look =
            m_manager->committedTransformationWithType(RUXTransformationTypeFilter);
        std::int64_t expected = RUXFilterBar::kNotFound;
        const auto& filters = editor.filterBar()->filters();
        for (std::size_t i = 0; look && i < filters.size(); ++i) {
            if (filters[i] == look) {
                expected = std::int64_t(i);
            }
        }
        if (look && expected == RUXFilterBar::kNotFound) {
            fail(std::string("after a ") + when + ": the committed look is none of the strip's");
        }
        if (editor.filterBar()->selectedFilterIndex() != expected) {
            fail(std::string("after a ") + when + ": the strip highlights entry " +
                 std::to_string(editor.filterBar()->selectedFilterIndex()) + " but the committed look is " +
                 std::to_string(expected));
        }
    }
}

// With nothing left running, the picture shown is the one asked for last.
void Soak::checkSettled() {
    std::shared_ptr<RUXImageView> imageView;
    const std::shared_ptr<Toolkit::ViewController> screen = presentedScreen();
    if (!screen) {
        imageView = m_session.editor->imageView();
    } else if (auto scalar = std::dynamic_pointer_cast<RUXScalarTransformationViewControllerBase>(screen)) {
        imageView = scalar->imageView();
    } else if (auto rotate = std::dynamic_pointer_cast<RUXRotateViewController>(screen)) {
        imageView = rotate->imageView();
    } else if (auto blur = std::dynamic_pointer_cast<RUXBlurViewController>(screen)) {
        imageView = blur->imageView();
    }
    if (!imageView || !imageView->lastImage()) {
        return;
    }
    if (imageView->isBusy()) {
        fail("the picture's render is still marked busy after everything settled");
    }
    if (imageView->image() != m_renderer->renderedImage(imageView->lastImage())) {
        fail("after everything settled, the picture shown is not the one asked for last");
    }
    if (!screen && imageView->lastImage() != m_manager->committedImage()) {
        fail("after everything settled, the main screen's last request is not the committed picture");
    }
}

void Soak::settle(const char* when) {
    for (int attempt = 0; attempt < kIdleAttempts; ++attempt) {
        if (m_host->runUntilIdle()) {
            ++m_idles;
            check(when);
            checkSettled();
            return;
        }
    }
    fail(std::string("the editor did not settle (") + when + ")");
}

void Soak::pump() {
    // A few display frames of the host's clock, then a moment of real time for the pool to hand
    // results over; neither waits for the work to finish.
    const int frames = integer(0, 3);
    if (frames > 0) {
        m_host->advance(frames * kFrame);
    }
    const auto real = std::chrono::milliseconds(integer(0, 3));
    if (real.count() > 0) {
        Foundation::RunLoop::main().runUntil([] { return false; }, real);
    }
}

// ---- Choices per screen ----

void Soak::stepOnMain() {
    RUXMainViewController& editor = *m_session.editor;
    const int roll = integer(0, 99);
    if (roll < 26) {
        m_action = "tool button";
        tapView(pick(editor.toolbar()->buttons()));
    } else if (roll < 30) {
        m_action = "toolbar scroll";
        const Graphics::Rect r = visibleRect(editor.toolbar());
        const Graphics::Point a = pointIn(r);
        drag(a, {a.x + uniform(-250, 250), a.y + uniform(-10, 10)}, integer(2, 10));
    } else if (roll < 50) {
        m_action = "filter cell";
        const std::vector<std::shared_ptr<Toolkit::CollectionViewCell>> cells =
            editor.filterBar()->collectionView()->visibleCells();
        if (cells.empty()) {
            tapView(editor.filterBar());
        } else {
            tapView(pick(cells));
        }
    } else if (roll < 56) {
        m_action = "filter strip scroll";
        const Graphics::Rect r = visibleRect(editor.filterBar());
        const Graphics::Point a = pointIn(r);
        drag(a, {a.x + uniform(-400, 400), a.y + uniform(-10, 10)}, integer(1, 8));
    } else if (roll < 65) {
        m_action = "undo";
        tapView(editor.undoButton());
    } else if (roll < 72) {
        m_action = "redo";
        tapView(editor.redoButton());
    } else if (roll < 80) {
        m_action = "hold on the photo";
        hold(pointIn(visibleRect(editor.imageView())));
    } else if (roll < 82) {
        m_action = "tap on the photo";
        tap(pointIn(visibleRect(editor.imageView())));
    } else if (roll < 84) {
        m_action = "save";
        tapView(editor.nextButton());
    } else if (roll < 85) {
        m_action = "back";
        tapView(editor.backButton());
    } else if (roll < 94) {
        m_action = "random touch";
        randomTouch();
    } else {
        m_action = "two fingers";
        twoFingers(pointIn(visibleRect(chance(0.5) ? std::shared_ptr<Toolkit::View>(editor.filterBar())
                                                   : std::shared_ptr<Toolkit::View>(editor.toolbar()))));
    }
}

bool Soak::commonToolStep(RUXOkCancelBar* bar) {
    const int roll = integer(0, 99);
    if (roll < 10 && bar) {
        m_action = "OK";
        tapView(bar->okButton());
    } else if (roll < 17 && bar) {
        m_action = "Cancel";
        tapView(bar->cancelButton());
    } else if (roll < 24) {
        m_action = "random touch";
        randomTouch();
    } else if (roll < 27 && bar) {
        m_action = "two fingers";
        twoFingers(pointIn(visibleRect(bar->okButton())));
    } else {
        return false;
    }
    return true;
}

void Soak::stepOnScalar(RUXScalarTransformationViewControllerBase& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    const int roll = integer(0, 99);
    const std::shared_ptr<RUXSlider>& slider = screen.slider();
    const Graphics::Rect track = visibleRect(slider);
    if (roll < 75) {
        m_action = "slider drag";
        const Graphics::Rect thumb = visibleRect(slider->movingUnit());
        const Graphics::Point a = thumb.isEmpty() ? pointIn(track) : pointIn(thumb, 0.3);
        const Graphics::Point b{uniform(track.minX() - 30, track.maxX() + 30), a.y + uniform(-30, 30)};
        drag(a, b, integer(1, 12));
    } else if (roll < 82) {
        m_action = "slider tap";
        tap(pointIn(track));
    } else {
        m_action = "hold on the photo";
        hold(pointIn(visibleRect(screen.imageView())));
    }
}

void Soak::stepOnRotate(RUXRotateViewController& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    std::vector<std::shared_ptr<Toolkit::View>> buttons;
    for (const std::shared_ptr<Toolkit::View>& view : screen.rotateButtonsBar()->contents()->subviews()) {
        if (std::dynamic_pointer_cast<Toolkit::Button>(view)) {
            buttons.push_back(view);
        }
    }
    if (integer(0, 99) < 80 && !buttons.empty()) {
        m_action = "rotate or flip";
        tapView(pick(buttons));
    } else {
        m_action = "hold on the photo";
        hold(pointIn(visibleRect(screen.imageView())));
    }
}

void Soak::stepOnBlur(RUXBlurViewController& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    const Graphics::Rect r = visibleRect(screen.imageView());
    const int roll = integer(0, 99);
    if (roll < 30) {
        m_action = "blur tap";
        tap(pointIn(r, 0));
    } else if (roll < 65) {
        m_action = "blur pan";
        drag(pointIn(r, 0), pointIn(r, -0.1), integer(2, 14));
    } else {
        m_action = "blur pinch";
        pinch(pointIn(r, 0.25), uniform(40, 200), uniform(20, 300), integer(2, 12));
    }
}

void Soak::stepOnCrop(RUXCropViewController& screen) {
    if (commonToolStep(screen.okCancelBar().get())) {
        return;
    }
    const Graphics::Rect r = visibleRect(screen.zoomScrollView());
    const int roll = integer(0, 99);
    if (roll < 45) {
        m_action = "crop drag";
        drag(pointIn(r), pointIn(r, -0.2), integer(2, 14));
    } else if (roll < 85) {
        m_action = "crop zoom";
        pinch(pointIn(r, 0.3), uniform(40, 200), uniform(20, 320), integer(2, 12));
    } else {
        m_action = "crop double tap";
        doubleTap(pointIn(r));
    }
}

// ---- The loop ----

// Beside the resident memory, the render scratch the image engine holds: it should stay a few
// tiles' worth per thread, so growth elsewhere is easy to tell apart.
void Soak::report(const char* label, double seconds) const {
    std::printf("%-16s step %7ld  %8.1f s  RSS %7.1f MB  peak %7.1f MB  engine scratch %5.1f MB\n", label,
                m_step, seconds, megabytes(statusKilobytes("VmRSS")), megabytes(statusKilobytes("VmHWM")),
                double(ImageEngine::Context::scratchBytesHeld()) / (1024.0 * 1024.0));
    std::fflush(stdout);
}

int Soak::run() {
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&started] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    settle("opening");
    const long startRss = statusKilobytes("VmRSS");
    report("start", elapsed());

    const long warmUp = std::max(1L, m_options.touches / 10);
    long warmRss = startRss;
    double warmSeconds = 0;
    Screen previous = kMain;
    m_entries[kMain] = 1;
    for (m_step = 1; m_step <= m_options.touches; ++m_step) {
        const Screen screen = currentScreen();
        if (screen != previous) {
            ++m_entries[screen];
            previous = screen;
        }
        ++m_steps[screen];
        const std::shared_ptr<Toolkit::ViewController> presented = presentedScreen();
        switch (screen) {
        case kMain:
            stepOnMain();
            break;
        case kCrop:
            stepOnCrop(static_cast<RUXCropViewController&>(*presented));
            break;
        case kBrightness:
        case kSaturation:
        case kContrast:
            stepOnScalar(static_cast<RUXScalarTransformationViewControllerBase&>(*presented));
            break;
        case kBlur:
            stepOnBlur(static_cast<RUXBlurViewController&>(*presented));
            break;
        case kRotate:
            stepOnRotate(static_cast<RUXRotateViewController&>(*presented));
            break;
        case kScreenCount:
            break;
        }
        if (m_options.idleEvery > 0 && integer(1, m_options.idleEvery) == 1) {
            settle("waiting for idle");
        } else {
            pump();
            check("pause");
        }
        if (m_options.trace) {
            std::printf("trace %ld %s: %s; list", m_step, kScreenNames[screen], m_action);
            for (const RUXTransformationPtr& t : m_manager->transformations()) {
                std::printf(" %s", t->transformationClass().name);
            }
            std::printf("; RSS %.1f MB\n", megabytes(statusKilobytes("VmRSS")));
        }
        if (m_step == warmUp) {
            settle("end of warm-up");
            warmRss = statusKilobytes("VmRSS");
            warmSeconds = elapsed();
            report("after warm-up", warmSeconds);
        } else if (m_step % std::max(1L, m_options.touches / 10) == 0) {
            report("progress", elapsed());
        }
    }
    m_step = m_options.touches;
    m_action = "finishing";
    settle("the end");
    const double seconds = elapsed();
    const long endRss = statusKilobytes("VmRSS");
    report("end", seconds);

    std::printf("\ntouches %ld (touch events %ld, idle waits %ld) in %.1f s: %.1f touches/s\n",
                m_options.touches, m_events, m_idles, seconds, double(m_options.touches) / seconds);
    std::printf("screen     steps  opened\n");
    for (int s = 0; s < kScreenCount; ++s) {
        std::printf("%-10s %6ld  %6ld\n", kScreenNames[s], m_steps[std::size_t(s)],
                    m_entries[std::size_t(s)]);
    }
    std::printf("history: %ld commits, %ld undos, %ld redos; saves %ld (failed %ld), cancels %ld\n",
                m_commits, m_undos, m_redos, m_delegate->saves, m_delegate->failedSaves, m_delegate->cancels);
    std::printf("RSS: start %.1f MB, after warm-up %.1f MB, end %.1f MB, peak %.1f MB\n", megabytes(startRss),
                megabytes(warmRss), megabytes(endRss), megabytes(statusKilobytes("VmHWM")));
    if (warmSeconds > 0 && seconds > warmSeconds) {
        std::printf("after warm-up: %.1f touches/s\n",
                    double(m_options.touches - warmUp) / (seconds - warmSeconds));
    }
    // A long run that never reached a screen has stopped exploring (a stuck screen, say).
    for (int s = 0; s < kScreenCount; ++s) {
        if (m_entries[std::size_t(s)] == 0 && m_options.touches >= kTouchesToVisitEverything) {
            std::fprintf(stderr, "rux-soak: the %s screen was never visited\n", kScreenNames[s]);
            return kExitFailure;
        }
    }
    if (m_delegate->failedSaves > 0) {
        std::fprintf(stderr, "rux-soak: %ld saves delivered no picture\n", m_delegate->failedSaves);
        return kExitFailure;
    }
    return 0;
}

// ---- Arguments ----

int usage(const std::string& problem) {
    std::fprintf(stderr, "rux-soak: %s\n%s", problem.c_str(), kUsage);
    return kExitUsage;
}

bool parse(int argc, char** argv, Options& options, std::string& problem, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        if (arg == "--trace") {
            options.trace = true;
            continue;
        }
        if (!hasValue) {
            problem = "unknown or incomplete option " + arg;
            return false;
        }
        const std::string value = argv[++i];
        char extra = 0;
        if (arg == "--seed") {
            unsigned long long seed = 0;
            if (std::sscanf(value.c_str(), "%llu%c", &seed, &extra) != 1) {
                problem = "bad value for --seed";
                return false;
            }
            options.seed = seed;
        } else if (arg == "--touches") {
            if (std::sscanf(value.c_str(), "%ld%c", &options.touches, &extra) != 1 || options.touches < 1) {
                problem = "bad value for --touches";
                return false;
            }
        } else if (arg == "--photo") {
            options.photoPath = value;
        } else if (arg == "--size") {
            if (std::sscanf(value.c_str(), "%dx%d%c", &options.photoWidth, &options.photoHeight, &extra) !=
                    2 ||
                options.photoWidth < 1 || options.photoHeight < 1 || options.photoWidth > 8192 ||
                options.photoHeight > 8192) {
                problem = "bad value for --size";
                return false;
            }
        } else if (arg == "--scale") {
            if (std::sscanf(value.c_str(), "%lf%c", &options.scale, &extra) != 1 ||
                !(options.scale > 0 && options.scale <= 4)) {
                problem = "bad value for --scale";
                return false;
            }
        } else if (arg == "--idle-every") {
            if (std::sscanf(value.c_str(), "%d%c", &options.idleEvery, &extra) != 1 ||
                options.idleEvery < 0) {
                problem = "bad value for --idle-every";
                return false;
            }
        } else {
            problem = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string problem;
    bool help = false;
    if (!parse(argc, argv, options, problem, help)) {
        return usage(problem);
    }
    if (help) {
        std::printf("%s", kUsage);
        return 0;
    }

    std::unique_ptr<Hosts::HeadlessHost> host =
        Hosts::HeadlessHost::create(Hosts::HeadlessHost::defaultPointSize, options.scale);
    if (!host) {
        return kExitFailure;
    }
    std::shared_ptr<const Graphics::BitmapImage> photo =
        options.photoPath.empty() ? makeSyntheticPhoto(options.photoWidth, options.photoHeight)
                                  : Graphics::BitmapImage::createFromFile(options.photoPath);
    if (!photo) {
        std::fprintf(stderr, "rux-soak: cannot open the photo %s\n",
                     options.photoPath.empty() ? "(synthetic)" : options.photoPath.c_str());
        return kExitFailure;
    }
    std::printf("rux-soak: seed %llu, %ld touches, photo %s (%g x %g), scale %g, %zu pool threads\n",
                static_cast<unsigned long long>(options.seed), options.touches,
                options.photoPath.empty() ? "synthetic" : options.photoPath.c_str(), photo->size().width,
                photo->size().height, options.scale, Foundation::globalQueueThreadCount());
    int status = 0;
    {
        Soak soak(options, std::move(host), std::move(photo));
        status = soak.run();
    }
    return status;
}
