#pragma once

#include <Foundation/Clock.h>
#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Hosts/TouchScript.h>
#include <Toolkit/Application.h>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace Hosts {

// A screen without a display: a window of a given size and scale, drawn into memory, fed with
// scripted touches, on a clock that moves only when told (a ManualClock, in force while the host
// lives). While it lives, Graphics::mainScreenScale() answers its scale; the device orientation
// starts as portrait (landscape for a window wider than tall). Tests and command-line programs use
// it. Create, use and destroy it on the main thread; one at a time.
class RUX_API HeadlessHost {
public:
    static constexpr Graphics::Size defaultPointSize{375, 667};
    static constexpr double defaultScale = 2;

    // nullptr (one log line) when the window cannot be made (bad size or scale, too many pixels).
    static std::unique_ptr<HeadlessHost> create(Graphics::Size pointSize = defaultPointSize,
                                                double scale = defaultScale);
    ~HeadlessHost();
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    Toolkit::Application& application() { return *m_application; }
    const std::shared_ptr<Toolkit::Window>& window() const { return m_application->keyWindow(); }
    Foundation::ManualClock& clock() { return m_clock; }

    // Where relative screenshot paths of scripts go; the working directory when empty.
    void setOutputDirectory(std::string directory) { m_outputDirectory = std::move(directory); }

    // Replays a script; false at the first command that fails (a finger that is not down, a
    // screenshot that cannot be written, an idle that hits its bound), with error set to
    // "line N: what went wrong". Touches still down at the end stay down.
    bool run(const TouchScript& script, std::string* error = nullptr);
    // Parses and replays; parse errors are reported the same way.
    bool runScript(const std::string& text, std::string* error = nullptr);

    // The steps scripts are made of. A finger id already down (for down) or not down (for move,
    // up, cancel) answers false and sends nothing. Each sends one touch event and then runs
    // the main run loop until nothing is due.
    bool touchDown(int finger, Graphics::Point location);
    bool touchMove(int finger, Graphics::Point location);
    bool touchUp(int finger);
    bool touchCancel(int finger);
    // Moves the clock on by seconds, a display frame at a time, running due timers and
    // displaying after each frame.
    void advance(double seconds);
    // See "idle" in TouchScript.h; false when the bound (10 s real time, 60 s of clock for
    // animations) ran out first.
    bool runUntilIdle();
    // What the keyboard and a dropped file do is the program's: the host only delivers them. A
    // key handler answers whether it used the key; a drop handler whether it could open the file.
    using KeyHandler = std::function<bool(const KeyChord& chord, KeyPhase phase)>;
    using DropHandler = std::function<bool(const std::string& path)>;
    void setKeyHandler(KeyHandler handler) { m_keyHandler = std::move(handler); }
    void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
    // A key goes down or comes up, then the run loop runs until nothing is due. Answers the
    // handler's answer (false without one); keyDown also answers false, sending nothing, for a
    // key already down, and keyUp for a key that is not down.
    bool keyDown(const KeyChord& chord);
    bool keyUp(const KeyChord& chord);
    // Hands the path to the drop handler and settles; false without one or when it refused.
    bool drop(const std::string& path);

    // Displays what changed and answers the framebuffer (owned by the window, which keeps drawing
    // into it).
    std::shared_ptr<const Graphics::Bitmap> display();
    // Displays and writes the framebuffer as PNG; false (one log line) when it cannot be written.
    bool writeScreenshot(const std::string& path);

private:
    explicit HeadlessHost(std::shared_ptr<Toolkit::Application> application);
    double timestamp() const;
    void settle();
    bool runCommand(const TouchCommand& command, std::string* error);
    void moveFingers(const std::vector<std::pair<int, Graphics::Point>>& from,
                     const std::vector<std::pair<int, Graphics::Point>>& to, double seconds, int steps);

    Foundation::ManualClock m_clock;
    std::shared_ptr<Toolkit::Application> m_application;
    std::map<int, Graphics::Point> m_fingers; // fingers down and where they are
    std::set<std::string> m_keysDown;         // by key name: modifiers may change while one is down
    KeyHandler m_keyHandler;
    DropHandler m_dropHandler;
    std::string m_outputDirectory;
    double m_previousScreenScale = 0;
};

// What a command-line program built on the headless host needs: parses
//   --script FILE [--size WxH] [--scale S] [--out DIRECTORY]
// from argv, runs the script over the screen that makeRoot makes and answers the exit status:
// 0 on success, 1 when the script fails (the error printed as one line), 2 for bad arguments.
// Answers nothing when argv has no --script, so the caller can open a window instead.
RUX_API std::optional<int>
    RUX_API runHeadlessMain(int argc, char** argv,
                            const std::function<std::shared_ptr<Toolkit::ViewController>()>& makeRoot);

} // namespace Hosts
