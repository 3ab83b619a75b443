#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Toolkit/View.h>
#include <memory>

namespace Toolkit {

class Compositor;
class DirtyRegion;
struct TouchDispatch;

// The screen: the root of a view tree, of a size in points and a scale (pixels per point). It turns
// host input into touches for views and gesture recognisers, and composites the tree into its
// framebuffer, redrawing only what changed. Main thread only: sendTouch, displayIfNeeded and the
// views' tree and content changes called from another thread do nothing and log one line.
class RUX_API Window : public View {
public:
    // nullptr (one log line) when the size or the scale is not positive and finite, or the
    // framebuffer would exceed the bitmap pixel limit.
    static std::shared_ptr<Window> create(Graphics::Size pointSize, double scale);
    ~Window() override;

    double scale() const { return m_scale; }
    Graphics::Size pointSize() const { return bounds().size; }
    // Changing the size (a host window resize or a rotation) resizes the framebuffer, applies the
    // subviews' autoresizing and redraws everything. An unusable size is ignored with one log line.
    void setPointSize(Graphics::Size size);

    // Host input, one call per touch change; location in window points; timestamp in seconds of
    // Foundation::currentTime(). Runs hit testing, gesture recognition and view touch handling.
    // Ended or Cancelled for an unknown id, and Began for an id already down, are ignored.
    void sendTouch(int touchId, TouchPhase phase, Graphics::Point locationInWindow, double timestamp);
    // Whether the touch's view has received it and no gesture has taken it back since.
    bool isTouchWithItsView(const Touch& touch) const;
    // Cancels every touch in progress (a host losing focus).
    void cancelAllTouches(double timestamp);

    // Lays out, then redraws what changed into the framebuffer; answers whether any pixel changed.
    bool displayIfNeeded();
    // Whether a display would redraw anything (layout pending or an area marked).
    bool hasPendingDisplay() const;
    // pointSize × scale pixels (rounded up), RGBA8 premultiplied sRGB, opaque, first row on top.
    // Valid after displayIfNeeded; the window keeps writing into it on later displays.
    std::shared_ptr<const Graphics::Bitmap> framebuffer() const { return m_framebuffer; }

    // Marks an area (window points) for redrawing; views call it through setNeedsDisplay.
    void invalidateRect(const Graphics::Rect& windowRect);

    // How many display passes redrew something, and the area they redrew (pixels), since creation;
    // for tests and benchmarks of the dirty-region tracking.
    std::size_t redrawCount() const { return m_redrawCount; }
    double redrawnPixelArea() const { return m_redrawnPixelArea; }

private:
    friend class View;
    friend class GestureRecognizer;
    Window(Graphics::Size pointSize, double scale, std::shared_ptr<Graphics::Bitmap> framebuffer);

    // Gesture bookkeeping: the recognisers that share at least one touch with recognizer, and taking
    // its touches away from the views once it recognises.
    std::vector<std::shared_ptr<GestureRecognizer>>
    recognizersSharingTouches(const GestureRecognizer& recognizer);
    void claimTouches(const GestureRecognizer& recognizer);
    void deliverDelayedTouch(int touchId, const Touch* touch);
    void finishRecognizers(const std::vector<std::weak_ptr<GestureRecognizer>>& recognizers);

    double m_scale;
    std::shared_ptr<Graphics::Bitmap> m_framebuffer;
    std::unique_ptr<Compositor> m_compositor;
    std::unique_ptr<TouchDispatch> m_touches;
    std::unique_ptr<DirtyRegion> m_dirty;
    std::vector<std::uint8_t> m_snapshot;
    // Some view of the tree needs layout.
    bool m_layoutPending = true;
    std::size_t m_redrawCount = 0;
    double m_redrawnPixelArea = 0;
};

} // namespace Toolkit
