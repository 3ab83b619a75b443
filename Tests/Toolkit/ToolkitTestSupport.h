#pragma once

#include <Graphics/Bitmap.h>
#include <Toolkit/Window.h>
#include <array>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

namespace ToolkitTest {

// The framebuffer pixel at (x, y) in pixels, as RGBA bytes.
inline std::array<int, 4> pixel(const Toolkit::Window& window, int x, int y) {
    const std::uint8_t* p = window.framebuffer()->row(y) + static_cast<std::size_t>(x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Scripted touches with monotonically growing timestamps.
class Finger {
public:
    Finger(std::shared_ptr<Toolkit::Window> window, int id, double* clock)
        : m_window(std::move(window)), m_id(id), m_clock(clock) {}
    void down(double x, double y) { send(Toolkit::TouchPhase::Began, x, y); }
    void move(double x, double y) { send(Toolkit::TouchPhase::Moved, x, y); }
    void up(double x, double y) { send(Toolkit::TouchPhase::Ended, x, y); }
    void cancel(double x, double y) { send(Toolkit::TouchPhase::Cancelled, x, y); }

private:
    void send(Toolkit::TouchPhase phase, double x, double y) {
        *m_clock += 0.016;
        m_window->sendTouch(m_id, phase, {x, y}, *m_clock);
    }
    std::shared_ptr<Toolkit::Window> m_window;
    int m_id;
    double* m_clock;
};

// Plays touches written as "<finger><d|m|u|c><x>,<y>" separated by spaces ("1d60,60 1u62,60": finger 1
// lands at (60, 60) and lifts at (62, 60)), 16 ms apart on clock.
inline void play(const std::shared_ptr<Toolkit::Window>& window, double* clock, const std::string& script) {
    using Toolkit::TouchPhase;
    std::istringstream in(script);
    for (std::string step; in >> step;) {
        const TouchPhase phase = step[1] == 'd'   ? TouchPhase::Began
                                 : step[1] == 'm' ? TouchPhase::Moved
                                 : step[1] == 'u' ? TouchPhase::Ended
                                                  : TouchPhase::Cancelled;
        const double x = std::stod(step.substr(2)), y = std::stod(step.substr(step.find(',') + 1));
        *clock += 0.016;
        window->sendTouch(step[0] - '0', phase, {x, y}, *clock);
    }
}

} // namespace ToolkitTest
