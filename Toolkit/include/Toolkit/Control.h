#pragma once

#include <Foundation/Export.h>
#include <Toolkit/View.h>
#include <functional>
#include <memory>
#include <vector>

namespace Toolkit {

// The platform's control events and their values.
enum class ControlEvent : unsigned {
    TouchDown = 1u << 0,
    TouchDownRepeat = 1u << 1,
    TouchDragInside = 1u << 2,
    TouchDragOutside = 1u << 3,
    TouchDragEnter = 1u << 4,
    TouchDragExit = 1u << 5,
    TouchUpInside = 1u << 6,
    TouchUpOutside = 1u << 7,
    TouchCancel = 1u << 8,
    ValueChanged = 1u << 12,
    AllTouchEvents = 0x0FFFu,
    AllEvents = 0xFFFFFFFFu,
};
constexpr ControlEvent operator|(ControlEvent a, ControlEvent b) {
    return static_cast<ControlEvent>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool hasFlag(ControlEvent set, ControlEvent event) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(event)) != 0;
}

// The platform's control states; a state is a combination of these bits (Normal is none).
enum class ControlState : unsigned {
    Normal = 0,
    Highlighted = 1u << 0,
    Disabled = 1u << 1,
    Selected = 1u << 2
};
constexpr ControlState operator|(ControlState a, ControlState b) {
    return static_cast<ControlState>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

// A view that tracks one touch and sends control events to its targets: touch-down when pressed,
// drag inside/outside/enter/exit while the finger moves (inside means within 70 points of the
// bounds, as on the platform), touch-up-inside or -outside when it lifts, and touch-cancel when a
// gesture (a scroll) takes the touch away. Highlighted while the finger is down and inside.
// A disabled control ignores touches. Main thread only.
class RUX_API Control : public View {
public:
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    ControlState state() const;
    bool isTracking() const { return m_trackingTouch != nullptr; }
    bool isTouchInside() const { return m_touchInside; }

    // Target–action: the target is held weakly and skipped once gone; actions run in the order added.
    template <class T>
    void addTarget(const std::shared_ptr<T>& target, void (T::*action)(), ControlEvent events) {
        std::weak_ptr<T> weak = target;
        m_actions.push_back({target.get(), events, [weak, action](Control&) {
                                 if (std::shared_ptr<T> strong = weak.lock())
                                     ((*strong).*action)();
                             }});
    }
    template <class T, class C>
    void addTarget(const std::shared_ptr<T>& target, void (T::*action)(C&), ControlEvent events) {
        std::weak_ptr<T> weak = target;
        m_actions.push_back({target.get(), events, [weak, action](Control& control) {
                                 std::shared_ptr<T> strong = weak.lock();
                                 C* typed = dynamic_cast<C*>(&control);
                                 if (strong && typed)
                                     ((*strong).*action)(*typed);
                             }});
    }
    // An action without a target; its captures are the caller's business.
    void addAction(std::function<void(Control&)> action, ControlEvent events) {
        m_actions.push_back({nullptr, events, std::move(action)});
    }
    // Removes that target's actions for those events (target nullptr: every target's).
    void removeTarget(const void* target, ControlEvent events = ControlEvent::AllEvents);
    // Runs the actions registered for any of these events.
    void sendActionsForControlEvents(ControlEvent events);

    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;

protected:
    explicit Control(const Graphics::Rect& frame) : View(frame) {}
    // Called after enabled, highlighted or selected changed.
    virtual void didChangeState() {}

private:
    struct Action {
        const void* target;
        ControlEvent events;
        std::function<void(Control&)> invoke;
    };
    bool isInside(const Touch& touch) const;

    std::vector<Action> m_actions;
    std::shared_ptr<Touch> m_trackingTouch;
    bool m_enabled = true;
    bool m_highlighted = false;
    bool m_selected = false;
    bool m_touchInside = false;
};

} // namespace Toolkit
