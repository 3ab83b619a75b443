#pragma once

#include <Graphics/Geometry.h>
#include <Toolkit/Color.h>
#include <memory>
#include <vector>

namespace Toolkit {

// A rectangle of the interface in its superview's coordinates (points, origin top-left, y down).
// Views are used on the main thread only.
class View : public std::enable_shared_from_this<View> {
public:
    static std::shared_ptr<View> create(const Graphics::Rect& frame = {}) {
        return std::shared_ptr<View>(new View(frame));
    }
    virtual ~View() = default;

    Graphics::Rect frame() const { return m_frame; }
    void setFrame(const Graphics::Rect& frame);
    // The view's own coordinate space: origin (0, 0) unless a scroll view moves it, and the frame's size.
    Graphics::Rect bounds() const { return m_bounds; }
    void setBounds(const Graphics::Rect& bounds);
    Graphics::Point center() const { return {m_frame.midX(), m_frame.midY()}; }
    void setCenter(Graphics::Point center);

    // Subviews, back to front. Adding a view that has a superview moves it.
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    std::shared_ptr<View> superview() const { return m_superview.lock(); }
    void addSubview(const std::shared_ptr<View>& view);
    void removeFromSuperview();

    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(Color color);
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }

    // Layout: setNeedsLayout marks the view; layoutIfNeeded runs layoutSubviews on marked views,
    // outermost first.
    void setNeedsLayout() { m_needsLayout = true; }
    bool needsLayout() const { return m_needsLayout; }
    void layoutIfNeeded();
    virtual void layoutSubviews() {}

    // Display: marks the view (and so the screen) as needing a redraw.
    void setNeedsDisplay();
    bool needsDisplay() const { return m_needsDisplay; }
    void clearNeedsDisplay() { m_needsDisplay = false; }

protected:
    explicit View(const Graphics::Rect& frame);
    // Called after the frame's size changed.
    virtual void didChangeSize() {}

private:
    Graphics::Rect m_frame;
    Graphics::Rect m_bounds;
    std::vector<std::shared_ptr<View>> m_subviews;
    std::weak_ptr<View> m_superview;
    Color m_backgroundColor = Color::clear();
    double m_alpha = 1.0;
    bool m_hidden = false;
    bool m_userInteractionEnabled = true;
    bool m_needsLayout = true;
    bool m_needsDisplay = true;
};

} // namespace Toolkit
