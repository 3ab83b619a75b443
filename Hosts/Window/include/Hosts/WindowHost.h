#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <Toolkit/Application.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Hosts {

struct RUX_API WindowHostOptions {
    Graphics::Size pointSize{375, 667};
    // Pixels per point; 0 takes the display's (a high-DPI display's drawable is larger than its
    // window). Another value sizes the window so that the framebuffer maps one to one onto it.
    double scale = 0;
    std::string title = "RUX";
    // Closes the window after this many seconds of real time (for unattended runs); 0 never.
    double quitAfterSeconds = 0;
};

// A desktop window (SDL2) showing the toolkit's window. Input becomes touches: the left mouse
// button is one finger; holding Ctrl or Alt adds a second finger mirrored about the window's
// centre, for pinching and rotating; the wheel pinches about the pointer; touch screens send
// their own fingers. Ctrl+R turns the device a quarter (the window turns with it), Ctrl+Q or
// closing the window quits. The framebuffer is uploaded only when a display changed pixels.
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
