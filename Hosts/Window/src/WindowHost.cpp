#include "WindowHostState.h"

#include <Foundation/Clock.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Graphics/BitmapImage.h>
#include <Hosts/WindowHost.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace Hosts {

using namespace std::chrono_literals;

WindowHost::State::~State() {
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
            std::chrono::milliseconds(static_cast<std::int64_t>(s.quitAfterSeconds * 1000)),
            Foundation::Repeats::No, [state] { state->running = false; });

    s.running = true;
    s.present(FrameUpload::CopyFramebuffer);
    while (s.running) {
        // A bound keeps input flowing even when the loop is flooded with work.
        loop.runUntilIdle(50ms);
        if (s.window().displayIfNeeded())
            s.present(FrameUpload::CopyFramebuffer);
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
