#pragma once

#include <Foundation/Export.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRenderFormula.h>
#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/ImageView.h>
#include <memory>

class RUXImageView;
class RUXTouchDownGestureRecognizer;
class RUXTouchUpGestureRecognizer;

// Told when a finger lands on an image view and when its touch sequence ends (lifted or taken
// away by the system). Both are optional: each answers whether the delegate acted on it, and the
// defaults do nothing and answer false, so that a keyboard stand-in for the finger knows whether
// the screen compares at all. Called on the main thread.
class RUX_API RUXImageViewDelegate {
public:
    virtual ~RUXImageViewDelegate() = default;
    virtual bool imageViewDidTouchDown(RUXImageView&) { return false; }
    virtual bool imageViewDidTouchUp(RUXImageView&) { return false; }
};

// Shows render formulas rather than images: the shared renderer turns each into a picture, at
// once or in the background. Background requests are coalesced: while one render is in flight,
// later requests only replace each other, and when it ends the newest one (if it is not the one
// just shown) is rendered next, so the picture always ends with the latest request and a burst
// of requests costs at most one more render. Letter-boxed on black; reports touches to its
// delegate. Main thread only.
class RUX_API RUXImageView : public Toolkit::ImageView, public Toolkit::GestureRecognizerDelegate {
public:
    // Never nullptr; the caller owns the view, which shares the renderer. A nullptr renderer
    // gives a view that never shows anything.
    static std::shared_ptr<RUXImageView> create(const Graphics::Rect& frame,
                                                std::shared_ptr<RUXImageRenderer> renderer);

    const std::shared_ptr<RUXImageRenderer>& renderer() const { return m_renderer; }
    std::shared_ptr<RUXImageViewDelegate> delegate() const { return m_delegate.lock(); }
    // Held weakly.
    void setDelegate(const std::shared_ptr<RUXImageViewDelegate>& delegate) { m_delegate = delegate; }

    // Whether a background render started by this view has not finished yet.
    bool isBusy() const { return m_isBusy; }
    // The newest formula asked for through the background path, or nullptr before the first.
    const RUXRenderFormulaPtr& lastImage() const { return m_lastImage; }

    // Shows the formula's picture as soon as a background render allows; returns at once. A
    // nullptr formula renders nothing and leaves the picture as it is. Main thread (a call from
    // another thread is handed to the main thread).
    void renderAndShowImageAsync(const RUXRenderFormulaPtr& formula);
    // Renders the formula on the calling thread and shows its picture before returning; the
    // background state is left alone, so a background render finishing later replaces it. A
    // formula that yields no picture empties the view; nullptr does nothing.
    void renderAndShowImageSync(const RUXRenderFormulaPtr& formula);

    // The recognisers' actions.
    void didTouchDownImageView(RUXTouchDownGestureRecognizer& recognizer);
    void didTouchUpImageView(RUXTouchUpGestureRecognizer& recognizer);

    // Both recognisers work alongside each other and any other recogniser, so that screens may
    // put pans and pinches on the same view.
    bool gestureRecognizerShouldRecognizeSimultaneously(Toolkit::GestureRecognizer&,
                                                        Toolkit::GestureRecognizer&) override {
        return true;
    }

protected:
    RUXImageView(const Graphics::Rect& frame, std::shared_ptr<RUXImageRenderer> renderer);
    // Runs after construction, once the view is owned by a shared_ptr.
    void setupGestures();

private:
    // The background render of formula has set its picture; main thread.
    void didFinishBackgroundRender(const RUXRenderFormulaPtr& formula);

    std::shared_ptr<RUXImageRenderer> m_renderer;
    std::weak_ptr<RUXImageViewDelegate> m_delegate;
    // Main thread only: the render's completion hops there before reading or writing them.
    bool m_isBusy = false;
    RUXRenderFormulaPtr m_lastImage;
    // Whether a synchronous picture was shown while a background render was in flight: it may
    // have come after that render's own picture, which then no longer shows the newest request.
    bool m_shownOverBackground = false;
};
