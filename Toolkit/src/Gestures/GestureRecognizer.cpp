#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/View.h>
#include <Toolkit/Window.h>
#include <algorithm>
#include <cmath>

namespace Toolkit {

namespace {

bool isLifting(const Touch& touch) {
    return touch.phase() == TouchPhase::Ended || touch.phase() == TouchPhase::Cancelled;
}

bool isActive(GestureRecognizerState s) {
    return s == GestureRecognizerState::Began || s == GestureRecognizerState::Changed;
}

} // namespace

Touches GestureRecognizer::activeTouches() const {
    Touches result;
    for (const auto& touch : m_touches)
        if (!isLifting(*touch))
            result.push_back(touch);
    return result;
}

std::size_t GestureRecognizer::numberOfTouches() const {
    return static_cast<std::size_t>(
        std::count_if(m_touches.begin(), m_touches.end(), [](const auto& t) { return !isLifting(*t); }));
}

Graphics::Point GestureRecognizer::centroidInWindow() const {
    double x = 0, y = 0;
    std::size_t n = 0;
    for (const auto& touch : m_touches)
        if (!isLifting(*touch)) {
            x += touch->locationInWindow().x;
            y += touch->locationInWindow().y;
            ++n;
        }
    return n ? Graphics::Point{x / n, y / n} : m_lastLocationInWindow;
}

Graphics::Point GestureRecognizer::locationInView(const std::shared_ptr<const View>& view) const {
    const Graphics::Point p = centroidInWindow();
    return view ? view->convertPointFromView(p, nullptr) : p;
}

Graphics::Point GestureRecognizer::locationOfTouch(std::size_t index,
                                                   const std::shared_ptr<const View>& view) const {
    const Touches active = activeTouches();
    if (index >= active.size())
        return locationInView(view);
    return active[index]->locationInView(view);
}

void GestureRecognizer::removeTarget(const void* target) {
    if (!target)
        m_actions.clear();
    else
        std::erase_if(m_actions, [target](const Action& a) { return a.target == target; });
}

void GestureRecognizer::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled) {
        if (isActive(m_state))
            setState(GestureRecognizerState::Cancelled);
        m_touches.clear();
        reset();
        m_state = GestureRecognizerState::Possible;
    }
}

bool GestureRecognizer::canRecognizeWith(GestureRecognizer& other) {
    if (recognizesSimultaneouslyByDefault(other) || other.recognizesSimultaneouslyByDefault(*this))
        return true;
    if (std::shared_ptr<GestureRecognizerDelegate> d = delegate())
        if (d->gestureRecognizerShouldRecognizeSimultaneously(*this, other))
            return true;
    if (std::shared_ptr<GestureRecognizerDelegate> d = other.delegate())
        if (d->gestureRecognizerShouldRecognizeSimultaneously(other, *this))
            return true;
    return false;
}

void GestureRecognizer::setState(GestureRecognizerState state) {
    const GestureRecognizerState old = m_state;
    if (state == old && state != GestureRecognizerState::Changed)
        return;
    // Once over, a recogniser waits for the window to reset it.
    if (old == GestureRecognizerState::Failed || old == GestureRecognizerState::Ended ||
        old == GestureRecognizerState::Cancelled)
        return;
    std::shared_ptr<GestureRecognizer> self = weak_from_this().lock();
    std::shared_ptr<Window> window;
    if (std::shared_ptr<View> v = view())
        window = v->window();

    if (old == GestureRecognizerState::Possible) {
        if (state == GestureRecognizerState::Changed || state == GestureRecognizerState::Cancelled)
            state = GestureRecognizerState::Failed;
        if (state == GestureRecognizerState::Began || state == GestureRecognizerState::Ended) {
            if (std::shared_ptr<GestureRecognizerDelegate> d = delegate();
                d && !d->gestureRecognizerShouldBegin(*this)) {
                m_state = GestureRecognizerState::Failed;
                return;
            }
            const std::vector<std::shared_ptr<GestureRecognizer>> others =
                window ? window->recognizersSharingTouches(*this)
                       : std::vector<std::shared_ptr<GestureRecognizer>>();
            // A gesture already under way keeps the touches unless the two may run together.
            for (const auto& other : others)
                if (isActive(other->m_state) && !canRecognizeWith(*other)) {
                    m_state = GestureRecognizerState::Failed;
                    return;
                }
            for (const auto& other : others)
                if (other->m_state == GestureRecognizerState::Possible && !canRecognizeWith(*other))
                    other->m_state = GestureRecognizerState::Failed;
            m_state = state;
            if (m_cancelsTouchesInView && window)
                window->claimTouches(*this);
        } else {
            m_state = state;
        }
    } else {
        if (state == GestureRecognizerState::Possible || state == GestureRecognizerState::Began)
            return;
        m_state = state;
    }
    if (m_state == GestureRecognizerState::Possible || m_state == GestureRecognizerState::Failed)
        return;
    const std::vector<Action> actions = m_actions;
    for (const Action& action : actions)
        action.invoke(*this);
}

// ---- Pan ----

namespace {
// How far fingers move before a pan or a pinch starts and before a tap stops being one, in points.
constexpr double kSlop = 10;

Graphics::Point vectorInView(Graphics::Point v, const std::shared_ptr<const View>& view, bool toView) {
    if (!view)
        return v;
    Graphics::AffineTransform t = view->transformToRoot();
    t.tx = t.ty = 0;
    if (toView) {
        const std::optional<Graphics::AffineTransform> inverse = t.inverted();
        return inverse ? inverse->applyToPoint(v) : v;
    }
    return t.applyToPoint(v);
}
} // namespace

void PanGestureRecognizer::reanchor() {
    m_anchor = centroidInWindow();
    m_offset = m_translation;
}

void PanGestureRecognizer::touchesBegan(const Touches& touches) {
    if (numberOfTouches() > m_maximumTouches) {
        if (isActive(state()))
            setState(GestureRecognizerState::Ended);
        else
            setState(GestureRecognizerState::Failed);
        return;
    }
    if (state() == GestureRecognizerState::Possible && numberOfTouches() == touches.size()) {
        m_translation = m_offset = {};
        m_anchor = centroidInWindow();
        m_lastTimestamp = touches.front()->timestamp();
        return;
    }
    reanchor();
}

void PanGestureRecognizer::touchesMoved(const Touches& touches) {
    const Graphics::Point c = centroidInWindow();
    const Graphics::Point previous = m_translation;
    m_translation = {m_offset.x + c.x - m_anchor.x, m_offset.y + c.y - m_anchor.y};
    const double now = touches.front()->timestamp();
    const double dt = now - m_lastTimestamp;
    if (dt > 1e-4) {
        // Smoothed, so that one uneven event does not decide a fling.
        const Graphics::Point instant{(m_translation.x - previous.x) / dt,
                                      (m_translation.y - previous.y) / dt};
        m_velocity = {0.6 * instant.x + 0.4 * m_velocity.x, 0.6 * instant.y + 0.4 * m_velocity.y};
    }
    m_lastTimestamp = now;
    if (state() == GestureRecognizerState::Possible) {
        if (numberOfTouches() >= m_minimumTouches && std::hypot(m_translation.x, m_translation.y) > kSlop)
            setState(GestureRecognizerState::Began);
        return;
    }
    if (isActive(state()))
        setState(GestureRecognizerState::Changed);
}

void PanGestureRecognizer::touchesEnded(const Touches&) {
    if (numberOfTouches() > 0) {
        reanchor();
        return;
    }
    setState(isActive(state()) ? GestureRecognizerState::Ended : GestureRecognizerState::Failed);
}

void PanGestureRecognizer::touchesCancelled(const Touches&) {
    if (numberOfTouches() > 0) {
        reanchor();
        return;
    }
    setState(isActive(state()) ? GestureRecognizerState::Cancelled : GestureRecognizerState::Failed);
}

void PanGestureRecognizer::reset() {
    m_translation = m_offset = m_anchor = m_velocity = {};
}

Graphics::Point PanGestureRecognizer::translationInView(const std::shared_ptr<const View>& view) const {
    return vectorInView(m_translation, view, true);
}

void PanGestureRecognizer::setTranslation(Graphics::Point translation,
                                          const std::shared_ptr<const View>& view) {
    m_translation = vectorInView(translation, view, false);
    reanchor();
}

Graphics::Point PanGestureRecognizer::velocityInView(const std::shared_ptr<const View>& view) const {
    return vectorInView(m_velocity, view, true);
}

// ---- Pinch ----

double PinchGestureRecognizer::spread() const {
    const Touches active = activeTouches();
    if (active.size() < 2)
        return 0;
    const Graphics::Point a = active[0]->locationInWindow(), b = active[1]->locationInWindow();
    return std::hypot(a.x - b.x, a.y - b.y);
}

void PinchGestureRecognizer::setScale(double scale) {
    if (!std::isfinite(scale) || scale <= 0)
        return;
    m_scale = scale;
    if (const double s = spread(); s > 0)
        m_initialSpread = s / scale;
}

void PinchGestureRecognizer::touchesBegan(const Touches& touches) {
    if (numberOfTouches() == 2) {
        // Spread is measured afresh whenever a second finger lands, so a pinch resumed after a lift
        // does not jump.
        m_initialSpread = spread() / (isActive(state()) ? m_scale : 1.0);
        m_lastTimestamp = touches.front()->timestamp();
    }
}

void PinchGestureRecognizer::touchesMoved(const Touches& touches) {
    const double s = spread();
    const double now = touches.front()->timestamp();
    if (state() == GestureRecognizerState::Possible) {
        if (numberOfTouches() == 2 && m_initialSpread > 0 && std::abs(s - m_initialSpread) > kSlop) {
            // Each pinch starts at exactly 1.0, measured from where it was recognised.
            m_initialSpread = s;
            m_scale = 1.0;
            m_velocity = 0;
            m_lastTimestamp = now;
            setState(GestureRecognizerState::Began);
        }
        return;
    }
    if (!isActive(state()))
        return;
    if (numberOfTouches() >= 2 && m_initialSpread > 0) {
        const double scale = s / m_initialSpread;
        const double dt = now - m_lastTimestamp;
        if (dt > 1e-4)
            m_velocity = (scale - m_scale) / dt;
        m_scale = scale;
        m_lastTimestamp = now;
    }
    setState(GestureRecognizerState::Changed);
}

void PinchGestureRecognizer::touchesEnded(const Touches&) {
    if (numberOfTouches() > 0) {
        if (isActive(state()))
            setState(GestureRecognizerState::Changed);
        return;
    }
    setState(isActive(state()) ? GestureRecognizerState::Ended : GestureRecognizerState::Failed);
}

void PinchGestureRecognizer::touchesCancelled(const Touches&) {
    if (numberOfTouches() > 0) {
        if (isActive(state()))
            setState(GestureRecognizerState::Changed);
        return;
    }
    setState(isActive(state()) ? GestureRecognizerState::Cancelled : GestureRecognizerState::Failed);
}

void PinchGestureRecognizer::reset() {
    m_initialSpread = 0;
    m_scale = 1.0;
    m_velocity = 0;
}

// ---- Tap ----

void TapGestureRecognizer::touchesBegan(const Touches& touches) {
    for (const auto& touch : touches)
        m_starts.push_back({touch->id(), touch->locationInWindow()});
    m_touchesSeen += touches.size();
    if (m_touchesSeen > m_touchesRequired)
        setState(GestureRecognizerState::Failed);
}

void TapGestureRecognizer::touchesMoved(const Touches& touches) {
    for (const auto& touch : touches)
        for (const auto& [id, start] : m_starts)
            if (id == touch->id()) {
                const Graphics::Point p = touch->locationInWindow();
                if (std::hypot(p.x - start.x, p.y - start.y) > kSlop)
                    setState(GestureRecognizerState::Failed);
            }
}

void TapGestureRecognizer::touchesEnded(const Touches& touches) {
    if (numberOfTouches() > 0)
        return;
    if (m_touchesSeen != m_touchesRequired) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    // Earlier taps of a multi-tap leave the recogniser possible; the touch's tap count tells when
    // enough have come.
    if (touches.front()->tapCount() >= m_tapsRequired)
        setState(kGestureRecognized);
}

void TapGestureRecognizer::touchesCancelled(const Touches&) {
    setState(GestureRecognizerState::Failed);
}

void TapGestureRecognizer::reset() {
    m_touchesSeen = 0;
    m_starts.clear();
}

} // namespace Toolkit
