#include <Toolkit/Control.h>
#include <algorithm>

namespace Toolkit {

namespace {
// A finger this far outside the bounds still counts as inside, so a press survives a wobbly finger.
constexpr double kInsideMargin = 70;
} // namespace

void Control::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled) {
        m_trackingTouch.reset();
        m_touchInside = false;
        m_highlighted = false;
    }
    didChangeState();
}

void Control::setHighlighted(bool highlighted) {
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    didChangeState();
}

void Control::setSelected(bool selected) {
    if (selected == m_selected)
        return;
    m_selected = selected;
    didChangeState();
}

ControlState Control::state() const {
    unsigned s = 0;
    if (m_highlighted)
        s |= static_cast<unsigned>(ControlState::Highlighted);
    if (!m_enabled)
        s |= static_cast<unsigned>(ControlState::Disabled);
    if (m_selected)
        s |= static_cast<unsigned>(ControlState::Selected);
    return static_cast<ControlState>(s);
}

void Control::removeTarget(const void* target, ControlEvent events) {
    for (Action& action : m_actions)
        if (!target || action.target == target)
            action.events = static_cast<ControlEvent>(static_cast<unsigned>(action.events) &
                                                      ~static_cast<unsigned>(events));
    std::erase_if(m_actions, [](const Action& a) { return static_cast<unsigned>(a.events) == 0; });
}

void Control::sendActionsForControlEvents(ControlEvent events) {
    // Keep the control alive and the list stable while targets react (a target may remove the control).
    std::shared_ptr<View> keep = weak_from_this().lock();
    const std::vector<Action> actions = m_actions;
    for (const Action& action : actions)
        if (static_cast<unsigned>(action.events) & static_cast<unsigned>(events))
            action.invoke(*this);
}

bool Control::isInside(const Touch& touch) const {
    const Graphics::Point p = touch.locationInView(std::static_pointer_cast<const View>(shared_from_this()));
    const Graphics::Rect area = bounds().insetBy(-kInsideMargin, -kInsideMargin);
    return area.containsPoint(p);
}

void Control::touchesBegan(const Touches& touches) {
    if (!m_enabled || m_trackingTouch || touches.empty())
        return;
    m_trackingTouch = touches.front();
    m_touchInside = true;
    setHighlighted(true);
    sendActionsForControlEvents(m_trackingTouch->tapCount() > 1
                                    ? ControlEvent::TouchDown | ControlEvent::TouchDownRepeat
                                    : ControlEvent::TouchDown);
}

void Control::touchesMoved(const Touches& touches) {
    if (!m_trackingTouch || std::find(touches.begin(), touches.end(), m_trackingTouch) == touches.end())
        return;
    const bool inside = isInside(*m_trackingTouch);
    const bool wasInside = m_touchInside;
    m_touchInside = inside;
    setHighlighted(inside);
    ControlEvent events = inside ? ControlEvent::TouchDragInside : ControlEvent::TouchDragOutside;
    if (inside != wasInside)
        events = events | (inside ? ControlEvent::TouchDragEnter : ControlEvent::TouchDragExit);
    sendActionsForControlEvents(events);
}

void Control::touchesEnded(const Touches& touches) {
    if (!m_trackingTouch || std::find(touches.begin(), touches.end(), m_trackingTouch) == touches.end())
        return;
    const bool inside = isInside(*m_trackingTouch);
    m_trackingTouch.reset();
    m_touchInside = false;
    setHighlighted(false);
    sendActionsForControlEvents(inside ? ControlEvent::TouchUpInside : ControlEvent::TouchUpOutside);
}

void Control::touchesCancelled(const Touches& touches) {
    if (!m_trackingTouch || std::find(touches.begin(), touches.end(), m_trackingTouch) == touches.end())
        return;
    m_trackingTouch.reset();
    m_touchInside = false;
    setHighlighted(false);
    sendActionsForControlEvents(ControlEvent::TouchCancel);
}

} // namespace Toolkit
