#pragma once

#include <Foundation/Export.h>
#include <Graphics/AffineTransform.h>
#include <Graphics/Geometry.h>
#include <Toolkit/Color.h>
#include <Toolkit/Event.h>
#include <functional>
#include <memory>
#include <vector>

namespace Graphics {
class BitmapContext;
}

namespace Toolkit {

class GestureRecognizer;
class Window;

// Which of a view's margins and sizes follow its superview's size, with the platform's values.
enum class AutoresizingMask : unsigned {
    None = 0,
    FlexibleLeftMargin = 1u << 0,
    FlexibleWidth = 1u << 1,
    FlexibleRightMargin = 1u << 2,
    FlexibleTopMargin = 1u << 3,
    FlexibleHeight = 1u << 4,
    FlexibleBottomMargin = 1u << 5,
};
constexpr AutoresizingMask operator|(AutoresizingMask a, AutoresizingMask b) {
    return static_cast<AutoresizingMask>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool hasFlag(AutoresizingMask mask, AutoresizingMask flag) {
    return (static_cast<unsigned>(mask) & static_cast<unsigned>(flag)) != 0;
}

// A rectangle of the interface in its superview's coordinates (points, origin top-left, y down).
// As on the platform, a view keeps its centre, its bounds and a transform about its centre; the frame
// is derived from them. Every function is for the main thread only.
class RUX_API View : public std::enable_shared_from_this<View> {
public:
    static std::shared_ptr<View> create(const Graphics::Rect& frame = {}) {
        return std::shared_ptr<View>(new View(frame));
    }
    virtual ~View();

    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // ---- Geometry ----

    // The bounding box of the transformed bounds, in the superview's coordinates.
    Graphics::Rect frame() const;
    // With a transform other than the identity, a frame of unchanged size only moves the centre.
    // Subclasses that must react to every frame change override it and call the base first.
    virtual void setFrame(const Graphics::Rect& frame);
    // The view's own coordinate space: origin (0, 0) unless a scroll view moves it.
    Graphics::Rect bounds() const { return m_bounds; }
    virtual void setBounds(const Graphics::Rect& bounds);
    Graphics::Point center() const { return m_center; }
    void setCenter(Graphics::Point center);
    // Applied about the centre (a zoomed scroll view content scales this way); identity by default.
    Graphics::AffineTransform transform() const { return m_transform; }
    void setTransform(const Graphics::AffineTransform& transform);

    // ---- Hierarchy ----

    // Subviews, back to front. Adding a view that has a superview moves it; adding a view to itself
    // or to one of its own descendants does nothing.
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    std::shared_ptr<View> superview() const { return m_superview.lock(); }
    void addSubview(const std::shared_ptr<View>& view);
    // index is clamped to [0, count].
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
    // Where sibling is not a subview, these add view at the front.
    void insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    void removeFromSuperview();
    // True for the view itself too.
    bool isDescendantOfView(const View* view) const;
    // The window at the root of this view's tree; nullptr when the view is not in a window.
    std::shared_ptr<Window> window() const;

    // ---- Appearance ----

    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(Color color);
    // Clamped to 0…1; the subtree is composited as one group at this opacity.
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    // A promise that draw() covers the bounds with opaque pixels; only a hint.
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque) { m_opaque = opaque; }
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool clipsToBounds() const { return m_clipsToBounds; }
    void setClipsToBounds(bool clips);
    // The border is drawn inside the bounds, above the content and the subviews.
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    Color borderColor() const { return m_borderColor; }
    void setBorderColor(Color color);
    // Rounds the background and the border; with clipsToBounds, also clips the content and subviews.
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    // ---- Input ----

    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }
    // The deepest visible, interactive descendant (or this view) containing the point (in this view's
    // coordinates), front-most first; nullptr when the point is outside or the view takes no touches.
    virtual std::shared_ptr<View> hitTest(Graphics::Point pointInView);
    virtual bool pointInside(Graphics::Point pointInView) const;

    // Touch handling of the view itself. The default passes the touches to the superview.
    virtual void touchesBegan(const Touches& touches);
    virtual void touchesMoved(const Touches& touches);
    virtual void touchesEnded(const Touches& touches);
    virtual void touchesCancelled(const Touches& touches);

    // Recognisers see the touches of this view and of its descendants before the views do.
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const {
        return m_recognizers;
    }

    // ---- Coordinates ----

    // other == nullptr means the coordinates of the root of this view's tree (the window's).
    Graphics::Point convertPointToView(Graphics::Point point, const std::shared_ptr<const View>& other) const;
    Graphics::Point convertPointFromView(Graphics::Point point,
                                         const std::shared_ptr<const View>& other) const;
    // Bounding boxes of the converted corners.
    Graphics::Rect convertRectToView(const Graphics::Rect& rect,
                                     const std::shared_ptr<const View>& other) const;
    Graphics::Rect convertRectFromView(const Graphics::Rect& rect,
                                       const std::shared_ptr<const View>& other) const;
    // Maps this view's coordinates to its root's (the window's).
    Graphics::AffineTransform transformToRoot() const;

    // ---- Layout ----

    AutoresizingMask autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(AutoresizingMask mask) { m_autoresizingMask = mask; }
    // When the bounds size changes, subviews are resized by their masks at once (default true).
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool enabled) { m_autoresizesSubviews = enabled; }

    // setNeedsLayout marks the view; layoutIfNeeded runs layoutSubviews on marked views of this
    // subtree, outermost first. A window lays itself out before each display.
    void setNeedsLayout();
    bool needsLayout() const { return m_needsLayout; }
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    // Called after each layoutSubviews pass of this view; an empty function removes it.
    void setOnDidLayoutSubviews(std::function<void()> callback) {
        m_onDidLayoutSubviews = std::move(callback);
    }

    // The size the view would like within size; the default answers its current bounds size.
    virtual Graphics::Size sizeThatFits(Graphics::Size size) const;
    // Resizes the bounds to sizeThatFits(current size), keeping the frame's origin.
    void sizeToFit();

    // ---- Display ----

    // Marks the view's area of the window for redrawing.
    void setNeedsDisplay();
    // Draws the view's own content (not its background, border or subviews, which the compositor
    // draws). The context is in the view's bounds coordinates: points, origin top-left, y down,
    // clipped to what needs redrawing.
    virtual void draw(Graphics::BitmapContext& context);
    // Draws over the subviews, in the same coordinates (a scroll view's indicators).
    virtual void drawOverSubviews(Graphics::BitmapContext&) {}

    // Hooks, called after the change.
    virtual void didMoveToSuperview() {}
    virtual void didMoveToWindow() {}

protected:
    explicit View(const Graphics::Rect& frame);
    // Called after the bounds size changed (autoresizing of the subviews has run).
    virtual void didChangeSize() {}
    // Called after the bounds origin changed (a scroll).
    virtual void didChangeBoundsOrigin() {}
    // Seconds for which a touch landing on a descendant is kept from that descendant, so that a
    // gesture of this view (a scroll) can claim it first; 0 (the default) delivers at once.
    virtual double contentTouchDelay() const { return 0; }
    // Whether a gesture of this view may take back touches already delivered to a descendant.
    virtual bool cancelsContentTouches() const { return true; }
    // Marks the area the view and its subviews cover in the window for redrawing.
    void invalidateSubtree();
    // Whether drawOverSubviews is to be called (it is skipped otherwise, to keep redraws cheap).
    void setDrawsOverSubviews(bool draws) { m_drawsOverSubviews = draws; }

private:
    friend class Window;
    friend class Compositor;

    Graphics::AffineTransform transformToSuperview() const;
    void applyAutoresizing(Graphics::Size oldSuperSize, Graphics::Size newSuperSize);
    void setBoundsSize(Graphics::Size size);
    void detachFromSuperview();
    void notifyMovedToWindow();
    Window* rootWindow() const;

    Graphics::Point m_center;
    Graphics::Rect m_bounds;
    Graphics::AffineTransform m_transform;
    std::vector<std::shared_ptr<View>> m_subviews;
    std::weak_ptr<View> m_superview;
    std::vector<std::shared_ptr<GestureRecognizer>> m_recognizers;
    std::function<void()> m_onDidLayoutSubviews;
    Color m_backgroundColor = Color::clear();
    Color m_borderColor = Color::black();
    double m_alpha = 1.0;
    double m_borderWidth = 0;
    double m_cornerRadius = 0;
    int m_tag = 0;
    AutoresizingMask m_autoresizingMask = AutoresizingMask::None;
    bool m_autoresizesSubviews = true;
    bool m_opaque = true;
    bool m_hidden = false;
    bool m_clipsToBounds = false;
    bool m_userInteractionEnabled = true;
    bool m_needsLayout = true;
    bool m_drawsOverSubviews = false;
};

} // namespace Toolkit
