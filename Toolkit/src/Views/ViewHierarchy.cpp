#include "Views/MainThread.h"

#include <Graphics/BitmapContext.h>
#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/View.h>
#include <Toolkit/Window.h>
#include <algorithm>
#include <cmath>

// The view tree: adding, ordering and removing subviews, and finding the window a view is in.

namespace Toolkit {

bool View::isDescendantOfView(const View* view) const {
    for (const View* v = this; v; v = v->m_superview.lock().get())
        if (v == view)
            return true;
    return false;
}

Window* View::rootWindow() const {
    const View* v = this;
    for (std::shared_ptr<View> parent = m_superview.lock(); parent; parent = parent->m_superview.lock())
        v = parent.get();
    return dynamic_cast<Window*>(const_cast<View*>(v));
}

std::shared_ptr<Window> View::window() const {
    Window* w = rootWindow();
    return w ? std::static_pointer_cast<Window>(w->shared_from_this()) : nullptr;
}

void View::detachFromSuperview() {
    std::shared_ptr<View> parent = m_superview.lock();
    if (!parent)
        return;
    invalidateSubtree();
    std::erase_if(parent->m_subviews, [this](const std::shared_ptr<View>& v) { return v.get() == this; });
    m_superview.reset();
}

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) {
    if (!requireMainThread("View::addSubview") || !view || isDescendantOfView(view.get()))
        return;
    // Keep the view alive while it moves between parents.
    std::shared_ptr<View> keep = view;
    const bool wasInWindow = view->rootWindow() != nullptr;
    view->detachFromSuperview();
    index = std::min(index, m_subviews.size());
    m_subviews.insert(m_subviews.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->m_superview = weak_from_this();
    view->invalidateSubtree();
    view->didMoveToSuperview();
    if (wasInWindow || rootWindow())
        view->notifyMovedToWindow();
}

void View::addSubview(const std::shared_ptr<View>& view) {
    insertSubview(view, m_subviews.size());
}

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    auto it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    if (it == m_subviews.end() || view == sibling)
        return addSubview(view);
    // Index after removal of view (if it is ours and below sibling, the index shifts).
    std::shared_ptr<View> keep = view;
    if (view && view->superview().get() == this)
        view->detachFromSuperview();
    it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    insertSubview(view, static_cast<std::size_t>(it - m_subviews.begin()) + 1);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    auto it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    if (it == m_subviews.end() || view == sibling)
        return addSubview(view);
    std::shared_ptr<View> keep = view;
    if (view && view->superview().get() == this)
        view->detachFromSuperview();
    it = std::find(m_subviews.begin(), m_subviews.end(), sibling);
    insertSubview(view, static_cast<std::size_t>(it - m_subviews.begin()));
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
    auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (it == m_subviews.end())
        return;
    std::rotate(it, it + 1, m_subviews.end());
    view->invalidateSubtree();
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
    auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
    if (it == m_subviews.end())
        return;
    std::rotate(m_subviews.begin(), it, it + 1);
    view->invalidateSubtree();
}

void View::removeFromSuperview() {
    if (!requireMainThread("View::removeFromSuperview") || !m_superview.lock())
        return;
    std::shared_ptr<View> keep = shared_from_this();
    const bool wasInWindow = rootWindow() != nullptr;
    detachFromSuperview();
    didMoveToSuperview();
    if (wasInWindow)
        notifyMovedToWindow();
}

void View::notifyMovedToWindow() {
    didMoveToWindow();
    const std::vector<std::shared_ptr<View>> children = m_subviews;
    for (const auto& child : children)
        child->notifyMovedToWindow();
}

} // namespace Toolkit
