#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <Hosts/KeyChord.h>
#include <Toolkit/Application.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Hosts {

struct RUX_API WindowHostOptions {
    Graphics::Size pointSize{375, 667};
    // Pixels per point; 0 takes the display's (see fittingWindowScale). Another value sizes the
    // window so that the framebuffer maps one to one onto it.
    double scale = 0;
    std::string title = "RUX";
    // Closes the window after this many seconds of real time (for unattended runs); 0 never.
    double quitAfterSeconds = 0;
};

// What the display offers a window: its pixels per point (a high-DPI drawable against its window,
// or the display's DPI against 96) and the room left by panels, in pixels.
struct RUX_API DisplayRoom {
    double pixelsPerPoint = 1;
    Graphics::Size usablePixels;
};

// The scale for a window of pointSize on that display: the display's own pixels per point times
// the largest whole zoom that still fits the room (leaving some for the window's frame), so that
// a phone-sized layout becomes a comfortable size on a large screen and stays sharp. Where even
// zoom 1 does not fit, the scale shrinks just enough to fit. Never below 0.25; unusable input
// answers 1. Any thread.
RUX_API double fittingWindowScale(const DisplayRoom& display, Graphics::Size pointSize);

// A desktop window (SDL2) showing the toolkit's window. Input becomes touches: the left mouse
// button is one finger; holding Ctrl or Alt adds a second finger mirrored about the window's
// centre, for pinching and rotating; the wheel pinches about the pointer; touch screens send
// their own fingers. Ctrl+R turns the device a quarter (the window turns with it), Ctrl+Q or
// closing the window quits. Other keys and files dropped on the window go to the handlers the
// program sets. The framebuffer is uploaded only when a display changed pixels.
// Create, run and destroy on the main thread; one at a time.
class RUX_API WindowHost {
public:
    // nullptr, with one line on stderr, when there is no display or the window cannot be made.
    static std::unique_ptr<WindowHost> create(const WindowHostOptions& options = {});
    ~WindowHost();
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    Toolkit::Application& application();
    // Runs the main run loop and the window's events until the window is closed or quit() is
    // called; answers the process exit status (0).
    int run();
    // Ends run() after the current turn. Main thread.
    void quit();
    // The pixels per point the window draws at.
    double scale() const;

    // Keys other than the host's own (Ctrl+Q, Ctrl+R) and files dropped on the window; the same
    // handlers as HeadlessHost's. Set on the main thread; called on it from run().
    void setKeyHandler(std::function<bool(const KeyChord& chord, KeyPhase phase)> handler);
    void setDropHandler(std::function<bool(const std::string& path)> handler);

private:
    WindowHost();
    struct State;
    std::unique_ptr<State> m_state;
};

// For a program's main: parses [--size WxH] [--scale S] [--title T] [--quit-after SECONDS] from
// argv (other arguments are left to the caller), opens the window over the screen makeRoot makes
// and runs it. Answers the exit status: 0 after the window closed, 1 when no window could be
// opened (one line on stderr), 2 for bad arguments.
RUX_API int runWindowMain(int argc, char** argv,
                          const std::function<std::shared_ptr<Toolkit::ViewController>()>& makeRoot);

} // namespace Hosts
