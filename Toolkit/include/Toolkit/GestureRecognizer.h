#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <Toolkit/Event.h>
#include <functional>
#include <memory>
#include <vector>

namespace Toolkit {

class View;
class Window;
class GestureRecognizer;

// The platform's recogniser states and their values. A discrete gesture (a tap) goes from Possible
// straight to Recognized; a continuous one (pan, pinch) through Began and Changed to Ended or
// Cancelled. Failed means it will not recognise this touch sequence.
enum class GestureRecognizerState {
    Possible = 0,
    Began = 1,
    Changed = 2,
    Ended = 3,
    Cancelled = 4,
    Failed = 5
};
inline constexpr GestureRecognizerState kGestureRecognized = GestureRecognizerState::Ended;

// Optional questions a recogniser asks; the defaults are the platform's answers when the delegate
// does not implement them.
class RUX_API GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    // Asked when the recogniser is about to leave Possible; false makes it fail.
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer&) { return true; }
    // Asked when either would keep the other from recognising the same touches.
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) {
        return false;
    }
};

// Turns touches on its view (and the view's descendants) into a gesture and calls its actions on
// each state change. Subclasses (custom recognisers included) override the touch handlers and call
// setState. The window delivers touches to recognisers before views, and resets a recogniser to
// Possible when its touch sequence is over. Main thread only.
class RUX_API GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    virtual ~GestureRecognizer() = default;
    GestureRecognizer(const GestureRecognizer&) = delete;
    GestureRecognizer& operator=(const GestureRecognizer&) = delete;

    GestureRecognizerState state() const { return m_state; }
    // The view it is attached to; nullptr when none.
    std::shared_ptr<View> view() const { return m_view.lock(); }

    // A disabled recogniser ignores touches; disabling one in progress cancels it.
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // When it recognises, the views stop receiving its touches and get touchesCancelled (default true).
    bool cancelsTouchesInView() const { return m_cancelsTouchesInView; }
    void setCancelsTouchesInView(bool cancels) { m_cancelsTouchesInView = cancels; }

    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return m_delegate.lock(); }
    // Held weakly.
    void setDelegate(const std::shared_ptr<GestureRecognizerDelegate>& delegate) { m_delegate = delegate; }

    // Target–action: the target is held weakly, and an action whose target is gone is skipped.
    // The action receives the recogniser as R (skipped if it is not an R).
    template <class T, class R>
    void addTarget(const std::shared_ptr<T>& target, void (T::*action)(R&)) {
        std::weak_ptr<T> weak = target;
        m_actions.push_back({target.get(), [weak, action](GestureRecognizer& recognizer) {
                                 std::shared_ptr<T> strong = weak.lock();
                                 R* typed = dynamic_cast<R*>(&recognizer);
                                 if (strong && typed)
                                     ((*strong).*action)(*typed);
                             }});
    }
    // An action without a target; its captures are the caller's business.
    void addAction(std::function<void(GestureRecognizer&)> action) {
        m_actions.push_back({nullptr, std::move(action)});
    }
    // Removes every action of that target (nullptr: every action).
    void removeTarget(const void* target);

    // The centroid of the touches in progress in view's coordinates (nullptr: the window's); after
    // the last touch lifted, where it lifted.
    Graphics::Point locationInView(const std::shared_ptr<const View>& view) const;
    // Fingers down (a finger lifting counts no more, also while its lift is being handled).
    std::size_t numberOfTouches() const;
    // The location of touch index (0-based, in landing order); the centroid when index is out of range.
    Graphics::Point locationOfTouch(std::size_t index, const std::shared_ptr<const View>& view) const;

protected:
    GestureRecognizer() = default;

    // Runs the state machine's bookkeeping: leaving Possible asks the delegate and settles which
    // other recognisers may carry on; actions run on every state except Possible and Failed.
    void setState(GestureRecognizerState state);

    virtual void touchesBegan(const Touches&) {}
    virtual void touchesMoved(const Touches&) {}
    virtual void touchesEnded(const Touches&) {}
    virtual void touchesCancelled(const Touches&) {}
    // Called when the touch sequence is over, before the state returns to Possible.
    virtual void reset() {}
    // Built-in pairs that always recognise together (a scroll view's pan and pinch).
    virtual bool recognizesSimultaneouslyByDefault(const GestureRecognizer&) const { return false; }

    // The touches in progress, in landing order, and the one lifting while its lift is handled.
    const Touches& touches() const { return m_touches; }
    // The touches still down.
    Touches activeTouches() const;
    Graphics::Point centroidInWindow() const;

private:
    friend class View;
    friend class Window;
    struct Action {
        const void* target;
        std::function<void(GestureRecognizer&)> invoke;
    };
    bool canRecognizeWith(GestureRecognizer& other);

    GestureRecognizerState m_state = GestureRecognizerState::Possible;
    std::weak_ptr<View> m_view;
    std::weak_ptr<GestureRecognizerDelegate> m_delegate;
    std::vector<Action> m_actions;
    Touches m_touches;
    Graphics::Point m_lastLocationInWindow;
    bool m_enabled = true;
    bool m_cancelsTouchesInView = true;
};

// Follows one or more fingers once they have moved a little. Began after the touches' centroid moved
// more than 10 points (the slop), Changed on every later move, Ended when the last finger lifts.
class RUX_API PanGestureRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<PanGestureRecognizer> create() {
        return std::shared_ptr<PanGestureRecognizer>(new PanGestureRecognizer());
    }
    std::size_t minimumNumberOfTouches() const { return m_minimumTouches; }
    void setMinimumNumberOfTouches(std::size_t count) { m_minimumTouches = count; }
    std::size_t maximumNumberOfTouches() const { return m_maximumTouches; }
    void setMaximumNumberOfTouches(std::size_t count) { m_maximumTouches = count; }

    // How far the centroid moved since the gesture began (or since setTranslation), in view's
    // coordinate scale (nullptr: window points).
    Graphics::Point translationInView(const std::shared_ptr<const View>& view) const;
    void setTranslation(Graphics::Point translation, const std::shared_ptr<const View>& view);
    // Points per second in the window, from the last moves.
    Graphics::Point velocityInView(const std::shared_ptr<const View>& view) const;

protected:
    PanGestureRecognizer() = default;
    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;
    void reset() override;

private:
    void reanchor();
    std::size_t m_minimumTouches = 1;
    std::size_t m_maximumTouches = 1000;
    Graphics::Point m_anchor;      // window centroid that corresponds to m_offset
    Graphics::Point m_offset;      // translation at the anchor
    Graphics::Point m_translation; // window points
    Graphics::Point m_velocity;
    double m_lastTimestamp = 0;
};

// Two fingers spreading or closing. Began once their distance changed by more than the slop, with
// scale 1.0 exactly at that moment; then the ratio of the distance to the distance at the start.
// When one finger lifts it reports Changed once with one touch and keeps its scale; Ended when the
// last finger lifts. The location is the centre of the touches.
class RUX_API PinchGestureRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<PinchGestureRecognizer> create() {
        return std::shared_ptr<PinchGestureRecognizer>(new PinchGestureRecognizer());
    }
    double scale() const { return m_scale; }
    void setScale(double scale);
    // Scale per second.
    double velocity() const { return m_velocity; }

protected:
    PinchGestureRecognizer() = default;
    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;
    void reset() override;

private:
    double spread() const;
    double m_initialSpread = 0;
    double m_scale = 1.0;
    double m_velocity = 0;
    double m_lastTimestamp = 0;
};

// Quick taps of a number of fingers. Recognised when the required touches lift, with the required
// tap count, without having moved more than the slop; fails on more fingers or more movement.
class RUX_API TapGestureRecognizer : public GestureRecognizer {
public:
    static std::shared_ptr<TapGestureRecognizer> create() {
        return std::shared_ptr<TapGestureRecognizer>(new TapGestureRecognizer());
    }
    int numberOfTapsRequired() const { return m_tapsRequired; }
    void setNumberOfTapsRequired(int count) { m_tapsRequired = count < 1 ? 1 : count; }
    std::size_t numberOfTouchesRequired() const { return m_touchesRequired; }
    void setNumberOfTouchesRequired(std::size_t count) { m_touchesRequired = count < 1 ? 1 : count; }

protected:
    TapGestureRecognizer() = default;
    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;
    void reset() override;

private:
    int m_tapsRequired = 1;
    std::size_t m_touchesRequired = 1;
    std::size_t m_touchesSeen = 0;
    std::vector<std::pair<int, Graphics::Point>> m_starts;
};

} // namespace Toolkit
