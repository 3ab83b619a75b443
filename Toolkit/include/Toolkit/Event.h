#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <memory>
#include <vector>

namespace Toolkit {

class View;
class Window;

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

// One finger on the screen, from the moment it lands until it lifts or the system cancels it. The
// window creates touches from host input and keeps them up to date; views and gesture recognisers
// only read them. Main thread only.
class RUX_API Touch {
public:
    int id() const { return m_id; }
    TouchPhase phase() const { return m_phase; }
    // Seconds of Foundation::currentTime(), as the host reported them.
    double timestamp() const { return m_timestamp; }
    // How many quick taps in the same place this touch belongs to: 1 for a first tap.
    int tapCount() const { return m_tapCount; }
    // The view the touch landed on (hit testing at its start); nullptr when that view is gone.
    std::shared_ptr<View> view() const { return m_view.lock(); }
    std::shared_ptr<Window> window() const { return m_window.lock(); }

    Graphics::Point locationInWindow() const { return m_location; }
    Graphics::Point previousLocationInWindow() const { return m_previousLocation; }
    // The location in view's coordinates; nullptr means the window's.
    Graphics::Point locationInView(const std::shared_ptr<const View>& view) const;
    Graphics::Point previousLocationInView(const std::shared_ptr<const View>& view) const;

private:
    friend class Window;
    Touch() = default;

    int m_id = 0;
    TouchPhase m_phase = TouchPhase::Began;
    double m_timestamp = 0;
    int m_tapCount = 1;
    std::weak_ptr<View> m_view;
    std::weak_ptr<Window> m_window;
    Graphics::Point m_location;
    Graphics::Point m_previousLocation;
};

using Touches = std::vector<std::shared_ptr<Touch>>;

} // namespace Toolkit
