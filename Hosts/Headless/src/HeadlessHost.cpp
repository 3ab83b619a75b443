#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Hosts/HeadlessHost.h>
#include <Toolkit/Animation.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace Hosts {

namespace {

using namespace std::chrono_literals;

constexpr double frameSeconds = 1.0 / 60;
constexpr double tapSeconds = 0.05;
// Fingers of the one- and two-finger script gestures; ids a script's own down/move/up rarely use.
constexpr int gestureFinger = 1001;
constexpr int secondGestureFinger = 1002;
constexpr auto idleRealTimeBound = 10s;
constexpr double idleAnimationBound = 60;

std::chrono::nanoseconds toDuration(double seconds) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(std::llround(seconds * 1e9)));
}

bool fail(std::string* error, int line, const std::string& message) {
    if (error)
        *error = "line " + std::to_string(line) + ": " + message;
    return false;
}

std::optional<Foundation::DeviceOrientation> orientationNamed(const std::string& name) {
    using Foundation::DeviceOrientation;
    static const std::pair<const char*, DeviceOrientation> names[] = {
        {"portrait", DeviceOrientation::Portrait},
        {"upside-down", DeviceOrientation::PortraitUpsideDown},
        {"landscape-left", DeviceOrientation::LandscapeLeft},
        {"landscape-right", DeviceOrientation::LandscapeRight},
        {"face-up", DeviceOrientation::FaceUp},
        {"face-down", DeviceOrientation::FaceDown},
    };
    for (const auto& [n, o] : names)
        if (name == n)
            return o;
    return std::nullopt;
}

} // namespace

std::unique_ptr<HeadlessHost> HeadlessHost::create(Graphics::Size pointSize, double scale) {
    // The window is made while the host's clock is in force, so touches and timers agree from
    // the first event on; hence the clock lives in the host and the window comes after it.
    auto host = std::unique_ptr<HeadlessHost>(new HeadlessHost(nullptr));
    auto window = Toolkit::Window::create(pointSize, scale);
    if (!window) {
        Foundation::log("HeadlessHost: cannot make a %g x %g window at scale %g", pointSize.width,
                        pointSize.height, scale);
        return nullptr;
    }
    host->m_application = Toolkit::Application::create(std::move(window));
    // Pictures made for the screen (icons at @2x, say) follow the host's scale while it lives.
    host->m_previousScreenScale = Graphics::mainScreenScale();
    Graphics::setMainScreenScale(scale);
    Foundation::setCurrentDeviceOrientation(pointSize.width > pointSize.height
                                                ? Foundation::DeviceOrientation::LandscapeLeft
                                                : Foundation::DeviceOrientation::Portrait);
    return host;
}

HeadlessHost::HeadlessHost(std::shared_ptr<Toolkit::Application> application)
    : m_application(std::move(application)) {}

HeadlessHost::~HeadlessHost() {
    // Screens go while the clock is still in force, so their last callbacks see the host's time.
    m_application.reset();
    if (m_previousScreenScale > 0)
        Graphics::setMainScreenScale(m_previousScreenScale);
}

double HeadlessHost::timestamp() const {
    return std::chrono::duration<double>(m_clock.now().time_since_epoch()).count();
}

void HeadlessHost::settle() {
    Foundation::RunLoop::main().runUntilIdle();
    window()->displayIfNeeded();
}

bool HeadlessHost::touchDown(int finger, Graphics::Point location) {
    if (m_fingers.contains(finger))
        return false;
    m_fingers[finger] = location;
    window()->sendTouch(finger, Toolkit::TouchPhase::Began, location, timestamp());
    settle();
    return true;
}

bool HeadlessHost::touchMove(int finger, Graphics::Point location) {
    auto it = m_fingers.find(finger);
    if (it == m_fingers.end())
        return false;
    it->second = location;
    window()->sendTouch(finger, Toolkit::TouchPhase::Moved, location, timestamp());
    settle();
    return true;
}

bool HeadlessHost::touchUp(int finger) {
    auto it = m_fingers.find(finger);
    if (it == m_fingers.end())
        return false;
    const Graphics::Point location = it->second;
    m_fingers.erase(it);
    window()->sendTouch(finger, Toolkit::TouchPhase::Ended, location, timestamp());
    settle();
    return true;
}

bool HeadlessHost::touchCancel(int finger) {
    auto it = m_fingers.find(finger);
    if (it == m_fingers.end())
        return false;
    const Graphics::Point location = it->second;
    m_fingers.erase(it);
    window()->sendTouch(finger, Toolkit::TouchPhase::Cancelled, location, timestamp());
    settle();
    return true;
}

bool HeadlessHost::keyDown(const KeyChord& chord) {
    if (!m_keysDown.insert(chord.key).second)
        return false;
    const bool used = m_keyHandler && m_keyHandler(chord, KeyPhase::Pressed);
    settle();
    return used;
}

bool HeadlessHost::keyUp(const KeyChord& chord) {
    if (!m_keysDown.erase(chord.key))
        return false;
    const bool used = m_keyHandler && m_keyHandler(chord, KeyPhase::Released);
    settle();
    return used;
}

bool HeadlessHost::drop(const std::string& path) {
    const bool opened = m_dropHandler && m_dropHandler(path);
    settle();
    return opened;
}

void HeadlessHost::advance(double seconds) {
    if (!(seconds > 0))
        return settle();
    // Whole frames, then the remainder, so that a timer falls due at the frame it would on a screen.
    double left = seconds;
    while (left > 1e-9) {
        const double step = std::min(frameSeconds, left);
        m_clock.advance(toDuration(step));
        left -= step;
        settle();
    }
}

bool HeadlessHost::runUntilIdle() {
    Foundation::RunLoop& loop = Foundation::RunLoop::main();
    const auto deadline = std::chrono::steady_clock::now() + idleRealTimeBound;
    // Background tasks finish on their own time; their hand-over to the main thread is queued
    // before they count as finished, so "nothing queued and nothing unfinished" is a stable state.
    auto quiet = [&loop] {
        return Foundation::globalQueueUnfinishedTaskCount() == 0 && loop.timeUntilNextEvent(1ms) > 0ms;
    };
    double animated = 0;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        loop.runUntil(quiet, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + 1ms);
        if (!quiet())
            continue;
        if (Toolkit::animationsInFlight()) {
            if (animated >= idleAnimationBound)
                return false;
            m_clock.advance(toDuration(frameSeconds));
            animated += frameSeconds;
            continue;
        }
        window()->displayIfNeeded();
        // Displaying lays out, and layout may start work of its own.
        if (quiet() && !Toolkit::animationsInFlight())
            return true;
    }
}

std::shared_ptr<const Graphics::Bitmap> HeadlessHost::display() {
    window()->displayIfNeeded();
    return window()->framebuffer();
}

bool HeadlessHost::writeScreenshot(const std::string& path) {
    const std::shared_ptr<const Graphics::Bitmap> pixels = display();
    if (!pixels) {
        Foundation::log("HeadlessHost: the window has no pixels to write to %s", path.c_str());
        return false;
    }
    return Graphics::writeImageFile(*pixels, path);
}

void HeadlessHost::moveFingers(const std::vector<std::pair<int, Graphics::Point>>& from,
                               const std::vector<std::pair<int, Graphics::Point>>& to, double seconds,
                               int steps) {
    for (int step = 1; step <= steps; ++step) {
        advance(seconds / steps);
        const double t = static_cast<double>(step) / steps;
        for (std::size_t i = 0; i < from.size(); ++i) {
            const Graphics::Point a = from[i].second, b = to[i].second;
            touchMove(from[i].first, {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
        }
    }
}

bool HeadlessHost::runCommand(const TouchCommand& command, std::string* error) {
    const auto& n = command.numbers;
    const int line = command.line;
    auto busy = [&](int finger) {
        return fail(error, line, "finger " + std::to_string(finger) + " is already down");
    };
    auto absent = [&](int finger) {
        return fail(error, line, "finger " + std::to_string(finger) + " is not down");
    };
    switch (command.kind) {
    case TouchCommand::Kind::Tap:
        if (!touchDown(gestureFinger, {n[0], n[1]}))
            return busy(gestureFinger);
        advance(tapSeconds);
        touchUp(gestureFinger);
        return true;
    case TouchCommand::Kind::Hold:
        if (!touchDown(gestureFinger, {n[0], n[1]}))
            return busy(gestureFinger);
        advance(n[2]);
        touchUp(gestureFinger);
        return true;
    case TouchCommand::Kind::Drag: {
        const Graphics::Point a{n[0], n[1]}, b{n[2], n[3]};
        if (!touchDown(gestureFinger, a))
            return busy(gestureFinger);
        moveFingers({{gestureFinger, a}}, {{gestureFinger, b}}, n[4], static_cast<int>(n[5]));
        touchUp(gestureFinger);
        return true;
    }
    case TouchCommand::Kind::Pinch: {
        const double cx = n[0], cy = n[1], d1 = n[2] / 2, d2 = n[3] / 2;
        if (m_fingers.contains(gestureFinger))
            return busy(gestureFinger);
        if (m_fingers.contains(secondGestureFinger))
            return busy(secondGestureFinger);
        touchDown(gestureFinger, {cx - d1, cy});
        touchDown(secondGestureFinger, {cx + d1, cy});
        moveFingers({{gestureFinger, {cx - d1, cy}}, {secondGestureFinger, {cx + d1, cy}}},
                    {{gestureFinger, {cx - d2, cy}}, {secondGestureFinger, {cx + d2, cy}}}, n[4],
                    static_cast<int>(n[5]));
        touchUp(gestureFinger);
        touchUp(secondGestureFinger);
        return true;
    }
    case TouchCommand::Kind::Down:
        if (!touchDown(static_cast<int>(n[0]), {n[1], n[2]}))
            return busy(static_cast<int>(n[0]));
        return true;
    case TouchCommand::Kind::Move:
        if (!touchMove(static_cast<int>(n[0]), {n[1], n[2]}))
            return absent(static_cast<int>(n[0]));
        return true;
    case TouchCommand::Kind::Up: {
        const int finger = static_cast<int>(n[0]);
        if (!m_fingers.contains(finger))
            return absent(finger);
        if (command.at && *command.at != m_fingers[finger])
            touchMove(finger, *command.at);
        touchUp(finger);
        return true;
    }
    case TouchCommand::Kind::Cancel:
        if (!touchCancel(static_cast<int>(n[0])))
            return absent(static_cast<int>(n[0]));
        return true;
    case TouchCommand::Kind::Wait:
        advance(n[0]);
        return true;
    case TouchCommand::Kind::Idle:
        if (!runUntilIdle())
            return fail(error, line, "still busy when the idle bound ran out");
        return true;
    case TouchCommand::Kind::Rotate:
        if (auto orientation = orientationNamed(command.text)) {
            m_application->setDeviceOrientation(*orientation);
            settle();
            return true;
        }
        return fail(error, line, "unknown orientation \"" + command.text + "\"");
    case TouchCommand::Kind::Screenshot: {
        std::string path = command.text;
        if (!m_outputDirectory.empty() && !path.starts_with('/'))
            path = m_outputDirectory + "/" + path;
        if (!writeScreenshot(path))
            return fail(error, line, "cannot write the screenshot " + path);
        return true;
    }
    // A key nobody uses and a file that cannot be opened are the program's to report; the
    // script goes on as a user would.
    case TouchCommand::Kind::Key:
        if (m_keysDown.contains(command.chord.key))
            return fail(error, line, "the key " + command.chord.key + " is already down");
        keyDown(command.chord);
        keyUp(command.chord);
        return true;
    case TouchCommand::Kind::KeyDown:
        if (m_keysDown.contains(command.chord.key))
            return fail(error, line, "the key " + command.chord.key + " is already down");
        keyDown(command.chord);
        return true;
    case TouchCommand::Kind::KeyUp:
        if (!m_keysDown.contains(command.chord.key))
            return fail(error, line, "the key " + command.chord.key + " is not down");
        keyUp(command.chord);
        return true;
    case TouchCommand::Kind::Drop:
        drop(command.text);
        return true;
    }
    return fail(error, line, "unknown command");
}

bool HeadlessHost::run(const TouchScript& script, std::string* error) {
    for (const TouchCommand& command : script.commands)
        if (!runCommand(command, error))
            return false;
    return true;
}

bool HeadlessHost::runScript(const std::string& text, std::string* error) {
    const std::optional<TouchScript> script = parseTouchScript(text, error);
    return script && run(*script, error);
}

std::optional<int>
runHeadlessMain(int argc, char** argv,
                const std::function<std::shared_ptr<Toolkit::ViewController>()>& makeRoot) {
    const char* program = argc > 0 ? argv[0] : "host";
    std::string scriptPath, outputDirectory;
    Graphics::Size size = HeadlessHost::defaultPointSize;
    double scale = HeadlessHost::defaultScale;
    bool scripted = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--script" && hasValue) {
            scriptPath = argv[++i];
            scripted = true;
        } else if (arg == "--out" && hasValue) {
            outputDirectory = argv[++i];
        } else if (arg == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%lfx%lf", &size.width, &size.height) != 2) {
                std::fprintf(stderr, "%s: --size wants WIDTHxHEIGHT in points\n", program);
                return 2;
            }
        } else if (arg == "--scale" && hasValue) {
            if (std::sscanf(argv[++i], "%lf", &scale) != 1) {
                std::fprintf(stderr, "%s: --scale wants a number\n", program);
                return 2;
            }
        }
        // Anything else belongs to the caller (a window host's own options).
    }
    if (argc > 1 && std::string(argv[argc - 1]) == "--script") {
        std::fprintf(stderr, "%s: --script wants a file\n", program);
        return 2;
    }
    if (!scripted)
        return std::nullopt;

    std::ifstream file(scriptPath);
    if (!file) {
        std::fprintf(stderr, "%s: cannot read the script %s\n", program, scriptPath.c_str());
        return 2;
    }
    std::stringstream text;
    text << file.rdbuf();

    std::unique_ptr<HeadlessHost> host = HeadlessHost::create(size, scale);
    if (!host) {
        std::fprintf(stderr, "%s: cannot make a %gx%g window at scale %g\n", program, size.width, size.height,
                     scale);
        return 2;
    }
    host->setOutputDirectory(outputDirectory);
    if (makeRoot)
        host->application().setRootViewController(makeRoot());
    std::string error;
    if (!host->runScript(text.str(), &error)) {
        std::fprintf(stderr, "%s: %s: %s\n", program, scriptPath.c_str(), error.c_str());
        return 1;
    }
    return 0;
}

} // namespace Hosts
