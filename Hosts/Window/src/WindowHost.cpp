#include <Foundation/Clock.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Graphics/BitmapImage.h>
#include <Hosts/WindowHost.h>
#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

namespace Hosts {

namespace {

using namespace std::chrono_literals;

// Finger ids: the mouse's, its mirrored twin, the wheel's pair, then touch-screen fingers.
constexpr int mouseFinger = 1;
constexpr int mirroredFinger = 2;
constexpr int wheelFingers[2] = {3, 4};
constexpr int firstScreenFinger = 100;

// The wheel pinch starts with the fingers this far apart and grows by this factor per notch; it
// ends once the wheel has rested a moment, as fingers lift after a pinch.
constexpr double wheelPinchStartDistance = 80;
constexpr double wheelPinchFactor = 1.1;
constexpr auto wheelPinchRest = 300ms;

double now() {
    return std::chrono::duration<double>(Foundation::currentTime().time_since_epoch()).count();
}

bool mirrorModifier(SDL_Keymod mod) {
    return (mod & (KMOD_CTRL | KMOD_ALT)) != 0;
}

// Desktop displays count 96 dots per inch at their unscaled size.
constexpr double unscaledDpi = 96;
// Room left around a zoomed window for its frame and title bar, as a fraction of the display.
constexpr double frameAllowance = 0.92;

// The chord of a key event in KeyChord's names; nothing for keys the programs have no use for.
std::optional<KeyChord> chordOf(const SDL_Keysym& key) {
    std::string name;
    const SDL_Keycode sym = key.sym;
    if ((sym >= SDLK_a && sym <= SDLK_z) || (sym >= SDLK_0 && sym <= SDLK_9))
        name = std::string(1, static_cast<char>(sym));
    else {
        switch (sym) {
        case SDLK_ESCAPE:
            name = "escape";
            break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            name = "enter";
            break;
        case SDLK_SPACE:
            name = "space";
            break;
        case SDLK_TAB:
            name = "tab";
            break;
        case SDLK_BACKSPACE:
            name = "backspace";
            break;
        case SDLK_DELETE:
            name = "delete";
            break;
        case SDLK_LEFT:
            name = "left";
            break;
        case SDLK_RIGHT:
            name = "right";
            break;
        case SDLK_UP:
            name = "up";
            break;
        case SDLK_DOWN:
            name = "down";
            break;
        default:
            return std::nullopt;
        }
    }
    KeyChord chord;
    chord.key = std::move(name);
    chord.ctrl = (key.mod & KMOD_CTRL) != 0;
    chord.shift = (key.mod & KMOD_SHIFT) != 0;
    chord.alt = (key.mod & KMOD_ALT) != 0;
    return chord;
}

// The scale a window of pointSize should draw at on the display that shows sdlWindow. A drawable
// larger than the window (Wayland, macOS) gives the display's pixels per point directly; X11
// reports pixels as window units, so there the display's DPI stands in for it, in whole steps,
// since fractional ones blur icons drawn for whole scales.
double displayScale(SDL_Window* sdlWindow, double pixelRatio, Graphics::Size pointSize) {
    const int display = std::max(0, SDL_GetWindowDisplayIndex(sdlWindow));
    DisplayRoom room;
    room.pixelsPerPoint = pixelRatio;
    float dpi = 0;
    if (pixelRatio <= 1 && SDL_GetDisplayDPI(display, &dpi, nullptr, nullptr) == 0 && dpi > 0)
        room.pixelsPerPoint = std::max(1.0, std::round(dpi / unscaledDpi));
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0 && SDL_GetDisplayBounds(display, &usable) != 0)
        return room.pixelsPerPoint;
    // Usable bounds come in window units; the room is wanted in pixels.
    room.usablePixels = {usable.w * pixelRatio, usable.h * pixelRatio};
    return fittingWindowScale(room, pointSize);
}

} // namespace

struct WindowHost::State {
    SDL_Window* sdlWindow = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0, textureHeight = 0;
    Uint32 wakeEvent = 0;
    std::atomic<bool> wakePending{false};
    double scale = 1;
    std::shared_ptr<Toolkit::Application> application;
    bool running = false;
    double quitAfterSeconds = 0;

    bool mouseDown = false;
    bool mirrorDown = false;
    Graphics::Point mouse;
    bool wheelPinching = false;
    Graphics::Point wheelCentre;
    double wheelDistance = wheelPinchStartDistance;
    Foundation::TimerId wheelTimer = 0;
    std::map<SDL_FingerID, int> screenFingers;
    int nextScreenFinger = firstScreenFinger;
    std::function<bool(const KeyChord&, KeyPhase)> keyHandler;
    std::function<bool(const std::string&)> dropHandler;

    ~State() {
        if (wheelTimer)
            Foundation::RunLoop::main().cancelTimer(wheelTimer);
        Foundation::RunLoop::main().setWakeHandler({});
        application.reset();
        if (texture)
            SDL_DestroyTexture(texture);
        if (renderer)
            SDL_DestroyRenderer(renderer);
        if (sdlWindow)
            SDL_DestroyWindow(sdlWindow);
        SDL_Quit();
    }

    Toolkit::Window& window() { return *application->keyWindow(); }

    // Output pixels per SDL window unit: above 1 on a high-DPI display.
    double pixelRatio() const {
        int ww = 0, wh = 0, pw = 0, ph = 0;
        SDL_GetWindowSize(sdlWindow, &ww, &wh);
        SDL_GetRendererOutputSize(renderer, &pw, &ph);
        return ww > 0 && pw > 0 ? static_cast<double>(pw) / ww : 1;
    }

    Graphics::Point pointFromWindowUnits(double x, double y) const {
        const double factor = pixelRatio() / scale;
        return {x * factor, y * factor};
    }

    Graphics::Point mirrored(Graphics::Point p) {
        const Graphics::Rect b = window().bounds();
        return {2 * b.midX() - p.x, 2 * b.midY() - p.y};
    }

    // Sizes the SDL window so that the toolkit window's framebuffer covers it pixel for pixel.
    void fitWindowToPoints() {
        const Graphics::Size points = window().pointSize();
        const double factor = scale / pixelRatio();
        SDL_SetWindowSize(sdlWindow, static_cast<int>(std::lround(points.width * factor)),
                          static_cast<int>(std::lround(points.height * factor)));
    }

    void present(bool upload) {
        const std::shared_ptr<const Graphics::Bitmap> frame = window().framebuffer();
        if (!frame)
            return;
        if (!texture || textureWidth != frame->width() || textureHeight != frame->height()) {
            if (texture)
                SDL_DestroyTexture(texture);
            texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING,
                                        frame->width(), frame->height());
            if (!texture) {
                Foundation::log("WindowHost: cannot make a %dx%d texture: %s", frame->width(),
                                frame->height(), SDL_GetError());
                return;
            }
            textureWidth = frame->width();
            textureHeight = frame->height();
            upload = true;
        }
        if (upload)
            SDL_UpdateTexture(texture, nullptr, frame->data(), static_cast<int>(frame->bytesPerRow()));
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }

    void send(int finger, Toolkit::TouchPhase phase, Graphics::Point p) {
        window().sendTouch(finger, phase, p, now());
    }

    void endWheelPinch() {
        if (!wheelPinching)
            return;
        wheelPinching = false;
        const double half = wheelDistance / 2;
        send(wheelFingers[0], Toolkit::TouchPhase::Ended, {wheelCentre.x - half, wheelCentre.y});
        send(wheelFingers[1], Toolkit::TouchPhase::Ended, {wheelCentre.x + half, wheelCentre.y});
    }

    void wheel(double notches) {
        if (!wheelPinching) {
            wheelPinching = true;
            wheelCentre = mouse;
            wheelDistance = wheelPinchStartDistance;
            const double half = wheelDistance / 2;
            send(wheelFingers[0], Toolkit::TouchPhase::Began, {wheelCentre.x - half, wheelCentre.y});
            send(wheelFingers[1], Toolkit::TouchPhase::Began, {wheelCentre.x + half, wheelCentre.y});
        }
        wheelDistance = std::clamp(wheelDistance * std::pow(wheelPinchFactor, notches), 2.0, 4000.0);
        const double newHalf = wheelDistance / 2;
        send(wheelFingers[0], Toolkit::TouchPhase::Moved, {wheelCentre.x - newHalf, wheelCentre.y});
        send(wheelFingers[1], Toolkit::TouchPhase::Moved, {wheelCentre.x + newHalf, wheelCentre.y});
        Foundation::RunLoop& loop = Foundation::RunLoop::main();
        if (wheelTimer)
            loop.cancelTimer(wheelTimer);
        wheelTimer = loop.scheduleTimer(std::chrono::duration_cast<std::chrono::milliseconds>(wheelPinchRest),
                                        false, [this] {
                                            wheelTimer = 0;
                                            endWheelPinch();
                                        });
    }

    void setMirror(bool down) {
        if (!mouseDown || down == mirrorDown)
            return;
        mirrorDown = down;
        send(mirroredFinger, down ? Toolkit::TouchPhase::Began : Toolkit::TouchPhase::Ended, mirrored(mouse));
    }

    void cancelEverything() {
        window().cancelAllTouches(now());
        mouseDown = mirrorDown = wheelPinching = false;
        screenFingers.clear();
    }

    void rotate() {
        using Foundation::DeviceOrientation;
        DeviceOrientation next = DeviceOrientation::LandscapeLeft;
        switch (Foundation::currentDeviceOrientation()) {
        case DeviceOrientation::LandscapeLeft:
            next = DeviceOrientation::PortraitUpsideDown;
            break;
        case DeviceOrientation::PortraitUpsideDown:
            next = DeviceOrientation::LandscapeRight;
            break;
        case DeviceOrientation::LandscapeRight:
            next = DeviceOrientation::Portrait;
            break;
        default:
            break;
        }
        cancelEverything();
        application->setDeviceOrientation(next);
        fitWindowToPoints();
    }

    void handle(const SDL_Event& event) {
        switch (event.type) {
        case SDL_QUIT:
            running = false;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                const Graphics::Point size = pointFromWindowUnits(event.window.data1, event.window.data2);
                if (Graphics::Size{size.x, size.y} != window().pointSize())
                    application->setWindowPointSize({size.x, size.y});
            } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                present(false);
            } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                cancelEverything();
            }
            break;
        case SDL_KEYDOWN:
            if ((event.key.keysym.mod & KMOD_CTRL) && event.key.keysym.sym == SDLK_q) {
                running = false;
            } else if ((event.key.keysym.mod & KMOD_CTRL) && event.key.keysym.sym == SDLK_r) {
                if (!event.key.repeat)
                    rotate();
            } else {
                setMirror(mirrorModifier(static_cast<SDL_Keymod>(event.key.keysym.mod)));
                if (const std::optional<KeyChord> chord = chordOf(event.key.keysym); chord && keyHandler)
                    keyHandler(*chord, event.key.repeat ? KeyPhase::Repeated : KeyPhase::Pressed);
            }
            break;
        case SDL_KEYUP:
            setMirror(mirrorModifier(static_cast<SDL_Keymod>(event.key.keysym.mod)));
            if (const std::optional<KeyChord> chord = chordOf(event.key.keysym); chord && keyHandler)
                keyHandler(*chord, KeyPhase::Released);
            break;
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
            if (event.drop.file) {
                const std::string path = event.drop.file;
                SDL_free(event.drop.file);
                // The program may put a new screen in place; fingers on the old one are let go.
                if (event.type == SDL_DROPFILE && dropHandler) {
                    cancelEverything();
                    dropHandler(path);
                }
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT ||
                mouseDown)
                break;
            endWheelPinch();
            mouse = pointFromWindowUnits(event.button.x, event.button.y);
            mouseDown = true;
            send(mouseFinger, Toolkit::TouchPhase::Began, mouse);
            setMirror(mirrorModifier(SDL_GetModState()));
            break;
        case SDL_MOUSEMOTION:
            if (event.motion.which == SDL_TOUCH_MOUSEID)
                break;
            mouse = pointFromWindowUnits(event.motion.x, event.motion.y);
            if (mouseDown) {
                send(mouseFinger, Toolkit::TouchPhase::Moved, mouse);
                if (mirrorDown)
                    send(mirroredFinger, Toolkit::TouchPhase::Moved, mirrored(mouse));
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT ||
                !mouseDown)
                break;
            mouse = pointFromWindowUnits(event.button.x, event.button.y);
            if (mirrorDown)
                send(mirroredFinger, Toolkit::TouchPhase::Ended, mirrored(mouse));
            mirrorDown = false;
            mouseDown = false;
            send(mouseFinger, Toolkit::TouchPhase::Ended, mouse);
            break;
        case SDL_MOUSEWHEEL:
            if (event.wheel.which == SDL_TOUCH_MOUSEID || mouseDown)
                break;
            wheel(event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y);
            break;
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP: {
            const Graphics::Size size = window().pointSize();
            const Graphics::Point p{event.tfinger.x * size.width, event.tfinger.y * size.height};
            if (event.type == SDL_FINGERDOWN) {
                if (screenFingers.contains(event.tfinger.fingerId))
                    break;
                const int finger = screenFingers[event.tfinger.fingerId] = nextScreenFinger++;
                send(finger, Toolkit::TouchPhase::Began, p);
                break;
            }
            auto it = screenFingers.find(event.tfinger.fingerId);
            if (it == screenFingers.end())
                break;
            const int finger = it->second;
            if (event.type == SDL_FINGERUP)
                screenFingers.erase(it);
            send(finger, event.type == SDL_FINGERUP ? Toolkit::TouchPhase::Ended : Toolkit::TouchPhase::Moved,
                 p);
            break;
        }
        default:
            if (event.type == wakeEvent)
                wakePending = false;
            break;
        }
    }
};

double fittingWindowScale(const DisplayRoom& display, Graphics::Size pointSize) {
    const double base = display.pixelsPerPoint;
    if (!(base > 0 && base < 100) || !(pointSize.width > 0) || !(pointSize.height > 0) ||
        !(display.usablePixels.width > 0) || !(display.usablePixels.height > 0))
        return 1;
    const double room = std::min(display.usablePixels.width * frameAllowance / (pointSize.width * base),
                                 display.usablePixels.height * frameAllowance / (pointSize.height * base));
    const double zoom = room >= 1 ? std::floor(room) : room;
    return std::max(0.25, base * zoom);
}

WindowHost::WindowHost() : m_state(std::make_unique<State>()) {}

WindowHost::~WindowHost() = default;

std::unique_ptr<WindowHost> WindowHost::create(const WindowHostOptions& options) {
    if (!(options.pointSize.width > 0) || !(options.pointSize.height > 0) || !(options.scale >= 0)) {
        std::fprintf(stderr, "%s: unusable window size or scale\n", options.title.c_str());
        return nullptr;
    }
    // Touch screens deliver fingers, not a mouse that pretends to be one (and the other way round).
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    // Without a display SDL would fall back to drawing offscreen, a window nobody sees; that
    // driver is used only when asked for by name.
    const bool driverChosen = std::getenv("SDL_VIDEODRIVER") != nullptr;
    if (!driverChosen && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "%s: cannot open a window: no display (DISPLAY and WAYLAND_DISPLAY are unset)\n",
                     options.title.c_str());
        return nullptr;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "%s: cannot open a window: %s\n", options.title.c_str(), SDL_GetError());
        SDL_Quit();
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driverChosen && driver &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        std::fprintf(stderr, "%s: cannot open a window: no display\n", options.title.c_str());
        SDL_Quit();
        return nullptr;
    }
    auto host = std::unique_ptr<WindowHost>(new WindowHost);
    State& s = *host->m_state;
    s.sdlWindow = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   static_cast<int>(std::lround(options.pointSize.width)),
                                   static_cast<int>(std::lround(options.pointSize.height)),
                                   SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (s.sdlWindow)
        s.renderer = SDL_CreateRenderer(s.sdlWindow, -1, 0);
    if (!s.renderer) {
        std::fprintf(stderr, "%s: cannot open a window: %s\n", options.title.c_str(), SDL_GetError());
        return nullptr;
    }
    s.scale =
        options.scale > 0 ? options.scale : displayScale(s.sdlWindow, s.pixelRatio(), options.pointSize);
    auto window = Toolkit::Window::create(options.pointSize, s.scale);
    if (!window) {
        std::fprintf(stderr, "%s: cannot make a %gx%g window at scale %g\n", options.title.c_str(),
                     options.pointSize.width, options.pointSize.height, s.scale);
        return nullptr;
    }
    s.application = Toolkit::Application::create(std::move(window));
    s.fitWindowToPoints();
    // The window was placed while it was still phone-sized; the zoomed one is centred again, and
    // only then shown, so that it never appears at the wrong size.
    SDL_SetWindowPosition(s.sdlWindow, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    SDL_ShowWindow(s.sdlWindow);
    s.quitAfterSeconds = options.quitAfterSeconds;
    s.wakeEvent = SDL_RegisterEvents(1);
    Graphics::setMainScreenScale(s.scale);
    Foundation::setCurrentDeviceOrientation(options.pointSize.width > options.pointSize.height
                                                ? Foundation::DeviceOrientation::LandscapeLeft
                                                : Foundation::DeviceOrientation::Portrait);
    return host;
}

Toolkit::Application& WindowHost::application() {
    return *m_state->application;
}

double WindowHost::scale() const {
    return m_state->scale;
}

void WindowHost::setKeyHandler(std::function<bool(const KeyChord&, KeyPhase)> handler) {
    m_state->keyHandler = std::move(handler);
}

void WindowHost::setDropHandler(std::function<bool(const std::string&)> handler) {
    m_state->dropHandler = std::move(handler);
}

void WindowHost::quit() {
    m_state->running = false;
}

int WindowHost::run() {
    State& s = *m_state;
    Foundation::RunLoop& loop = Foundation::RunLoop::main();
    State* state = &s;
    // Called from any thread: one pending wake event is enough to get the loop turning.
    loop.setWakeHandler([state] {
        if (state->wakeEvent != static_cast<Uint32>(-1) && !state->wakePending.exchange(true)) {
            SDL_Event event{};
            event.type = state->wakeEvent;
            SDL_PushEvent(&event);
        }
    });
    Foundation::TimerId quitTimer = 0;
    if (s.quitAfterSeconds > 0)
        quitTimer = loop.scheduleTimer(
            std::chrono::milliseconds(static_cast<std::int64_t>(s.quitAfterSeconds * 1000)), false,
            [state] { state->running = false; });

    s.running = true;
    s.present(true);
    while (s.running) {
        // A bound keeps input flowing even when the loop is flooded with work.
        loop.runUntilIdle(50ms);
        if (s.window().displayIfNeeded())
            s.present(true);
        const auto timeout = loop.timeUntilNextEvent(1000ms);
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, static_cast<int>(timeout.count()))) {
            s.handle(event);
            while (s.running && SDL_PollEvent(&event))
                s.handle(event);
        }
    }
    if (quitTimer)
        loop.cancelTimer(quitTimer);
    loop.setWakeHandler({});
    return 0;
}

int runWindowMain(int argc, char** argv,
                  const std::function<std::shared_ptr<Toolkit::ViewController>()>& makeRoot) {
    const char* program = argc > 0 ? argv[0] : "host";
    WindowHostOptions options;
    options.title = program;
    if (const char* slash = std::strrchr(program, '/'))
        options.title = slash + 1;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        bool ok = true;
        if (arg == "--size")
            ok = std::sscanf(argv[++i], "%lfx%lf", &options.pointSize.width, &options.pointSize.height) == 2;
        else if (arg == "--scale")
            ok = std::sscanf(argv[++i], "%lf", &options.scale) == 1;
        else if (arg == "--title")
            options.title = argv[++i];
        else if (arg == "--quit-after")
            ok = std::sscanf(argv[++i], "%lf", &options.quitAfterSeconds) == 1;
        if (!ok) {
            std::fprintf(stderr, "%s: bad value for %s\n", program, arg.c_str());
            return 2;
        }
    }
    std::unique_ptr<WindowHost> host = WindowHost::create(options);
    if (!host)
        return 1;
    if (makeRoot)
        host->application().setRootViewController(makeRoot());
    return host->run();
}

} // namespace Hosts
