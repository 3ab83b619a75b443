#include "Render/Compositor.h"
#include "Render/DirtyRegion.h"
#include "Views/MainThread.h"
#include "Views/TouchDispatch.h"

#include <Foundation/Log.h>
#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/Window.h>
#include <cmath>
#include <cstring>
#include <set>

namespace Toolkit {

namespace {

// Two taps belong to one multi-tap when the second lands this soon and this close to the first.
constexpr double kMultiTapInterval = 0.35;
constexpr double kMultiTapDistance = 30;

bool usableSize(Graphics::Size size, double scale) {
    return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0 &&
           std::isfinite(scale) && scale > 0 && size.width * scale < 1e6 && size.height * scale < 1e6;
}

std::shared_ptr<Graphics::Bitmap> makeFramebuffer(Graphics::Size size, double scale) {
    std::shared_ptr<Graphics::Bitmap> bitmap =
        Graphics::Bitmap::create(static_cast<int>(std::ceil(size.width * scale - 1e-9)),
                                 static_cast<int>(std::ceil(size.height * scale - 1e-9)));
    if (bitmap)
        clearRect(*bitmap, {0, 0, bitmap->width(), bitmap->height()}, {0, 0, 0, 255});
    return bitmap;
}

} // namespace

Graphics::Point Touch::locationInView(const std::shared_ptr<const View>& view) const {
    return view ? view->convertPointFromView(m_location, nullptr) : m_location;
}

Graphics::Point Touch::previousLocationInView(const std::shared_ptr<const View>& view) const {
    return view ? view->convertPointFromView(m_previousLocation, nullptr) : m_previousLocation;
}

std::shared_ptr<Window> Window::create(Graphics::Size pointSize, double scale) {
    if (!usableSize(pointSize, scale)) {
        Foundation::log("Window: unusable size %g x %g at scale %g", pointSize.width, pointSize.height,
                        scale);
        return nullptr;
    }
    std::shared_ptr<Graphics::Bitmap> framebuffer = makeFramebuffer(pointSize, scale);
    if (!framebuffer)
        return nullptr;
    return std::shared_ptr<Window>(new Window(pointSize, scale, std::move(framebuffer)));
}

Window::Window(Graphics::Size pointSize, double scale, std::shared_ptr<Graphics::Bitmap> framebuffer)
    : View({0, 0, pointSize.width, pointSize.height}), m_scale(scale), m_framebuffer(std::move(framebuffer)),
      m_compositor(std::make_unique<Compositor>()), m_touches(std::make_unique<TouchDispatch>()),
      m_dirty(std::make_unique<DirtyRegion>()) {
    m_dirty->setBounds({0, 0, m_framebuffer->width(), m_framebuffer->height()});
    m_dirty->addAll();
}

Window::~Window() {
    for (auto& [id, entry] : m_touches->entries)
        if (entry.delayTimer)
            Foundation::RunLoop::main().cancelTimer(entry.delayTimer);
}

void Window::setPointSize(Graphics::Size size) {
    if (!usableSize(size, m_scale)) {
        Foundation::log("Window: unusable size %g x %g ignored", size.width, size.height);
        return;
    }
    if (size == bounds().size)
        return;
    std::shared_ptr<Graphics::Bitmap> framebuffer = makeFramebuffer(size, m_scale);
    if (!framebuffer)
        return;
    m_framebuffer = std::move(framebuffer);
    setFrame({0, 0, size.width, size.height});
    m_dirty->clear();
    m_dirty->setBounds({0, 0, m_framebuffer->width(), m_framebuffer->height()});
    m_dirty->addAll();
}

void Window::invalidateRect(const Graphics::Rect& windowRect) {
    if (windowRect.isNull() || windowRect.isEmpty())
        return;
    m_dirty->add(
        PixelRect::enclosing(Graphics::AffineTransform::makeScale(m_scale, m_scale).applyToRect(windowRect)));
}

bool Window::hasPendingDisplay() const {
    return m_layoutPending || !m_dirty->isEmpty();
}

bool Window::displayIfNeeded() {
    if (!requireMainThread("Window::displayIfNeeded"))
        return false;
    // Layout can mark more views (a layout that resizes subviews); a few passes settle it.
    for (int pass = 0; pass < 4 && m_layoutPending; ++pass) {
        m_layoutPending = false;
        layoutIfNeeded();
    }
    if (m_dirty->isEmpty())
        return false;
    bool changed = false;
    Graphics::Bitmap& fb = *m_framebuffer;
    for (std::size_t i = 0; i < m_dirty->count(); ++i) {
        const PixelRect area = (*m_dirty)[i];
        const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * 4;
        // Keep the old pixels to answer whether anything really changed.
        m_snapshot.resize(rowBytes * static_cast<std::size_t>(area.height()));
        for (int y = area.y0; y < area.y1; ++y)
            std::memcpy(m_snapshot.data() + static_cast<std::size_t>(y - area.y0) * rowBytes,
                        fb.row(y) + static_cast<std::size_t>(area.x0) * 4, rowBytes);
        m_compositor->render(*this, m_framebuffer, m_scale, area);
        for (int y = area.y0; y < area.y1 && !changed; ++y)
            changed = std::memcmp(m_snapshot.data() + static_cast<std::size_t>(y - area.y0) * rowBytes,
                                  fb.row(y) + static_cast<std::size_t>(area.x0) * 4, rowBytes) != 0;
        m_redrawnPixelArea += double(area.width()) * area.height();
    }
    m_dirty->clear();
    ++m_redrawCount;
    return changed;
}

// ---- Touches ----

void Window::sendTouch(int touchId, TouchPhase phase, Graphics::Point location, double timestamp) {
    if (!requireMainThread("Window::sendTouch") || !std::isfinite(location.x) || !std::isfinite(location.y))
        return;
    std::shared_ptr<View> keepAlive = shared_from_this();
    TouchDispatch& d = *m_touches;
    auto it = d.entries.find(touchId);

    if (phase == TouchPhase::Began) {
        if (it != d.entries.end())
            return;
        std::shared_ptr<View> hit = hitTest(location);
        if (!hit)
            return;
        std::shared_ptr<Touch> touch(new Touch());
        touch->m_id = touchId;
        touch->m_phase = TouchPhase::Began;
        touch->m_timestamp = timestamp;
        touch->m_location = touch->m_previousLocation = location;
        touch->m_view = hit;
        touch->m_window = std::static_pointer_cast<Window>(shared_from_this());
        const double dx = location.x - d.lastTapLocation.x, dy = location.y - d.lastTapLocation.y;
        touch->m_tapCount =
            timestamp - d.lastTapTime <= kMultiTapInterval && std::hypot(dx, dy) <= kMultiTapDistance
                ? d.lastTapCount + 1
                : 1;
        TouchDispatch::Entry entry;
        entry.touch = touch;
        for (std::shared_ptr<View> v = hit; v; v = v->superview())
            for (const auto& recognizer : v->gestureRecognizers())
                if (recognizer->isEnabled())
                    entry.recognizers.push_back(recognizer);
        const std::vector<std::weak_ptr<GestureRecognizer>> recognizers = entry.recognizers;
        d.entries[touchId] = std::move(entry);

        const Touches one{touch};
        // Every recogniser holds the touch before any sees it, so that one recognising at once
        // settles with all the others.
        std::vector<std::shared_ptr<GestureRecognizer>> receivers;
        for (const auto& weak : recognizers) {
            std::shared_ptr<GestureRecognizer> r = weak.lock();
            if (!r || r->state() == GestureRecognizerState::Ended ||
                r->state() == GestureRecognizerState::Cancelled ||
                r->state() == GestureRecognizerState::Failed)
                continue;
            r->m_touches.push_back(touch);
            r->m_lastLocationInWindow = r->centroidInWindow();
            receivers.push_back(r);
        }
        for (const auto& r : receivers)
            if (r->state() != GestureRecognizerState::Failed)
                r->touchesBegan(one);
        it = d.entries.find(touchId);
        if (it != d.entries.end() && !it->second.claimed) {
            double delay = 0;
            for (std::shared_ptr<View> v = hit->superview(); v && delay <= 0; v = v->superview())
                delay = v->contentTouchDelay();
            if (delay > 0) {
                std::weak_ptr<View> weakSelf = weak_from_this();
                const Touch* raw = touch.get();
                it->second.delayTimer = Foundation::RunLoop::main().scheduleTimer(
                    std::chrono::milliseconds(static_cast<long long>(std::lround(delay * 1000))),
                    Foundation::Repeats::No, [weakSelf, touchId, raw] {
                        if (std::shared_ptr<View> self = weakSelf.lock())
                            static_cast<Window&>(*self).deliverDelayedTouch(touchId, raw);
                    });
            } else {
                it->second.delivered = true;
                hit->touchesBegan(one);
            }
        }
        finishRecognizers(recognizers);
        return;
    }

    if (it == d.entries.end())
        return;
    std::shared_ptr<Touch> touch = it->second.touch;
    const std::vector<std::weak_ptr<GestureRecognizer>> recognizers = it->second.recognizers;
    touch->m_previousLocation = touch->m_location;
    touch->m_location = location;
    touch->m_timestamp = timestamp;
    touch->m_phase = phase;
    if (phase == TouchPhase::Stationary)
        return;
    const Touches one{touch};
    const bool ending = phase == TouchPhase::Ended || phase == TouchPhase::Cancelled;

    for (const auto& weak : recognizers) {
        std::shared_ptr<GestureRecognizer> r = weak.lock();
        if (!r || std::find(r->m_touches.begin(), r->m_touches.end(), touch) == r->m_touches.end())
            continue;
        if (ending && r->numberOfTouches() == 0)
            r->m_lastLocationInWindow = location;
        else
            r->m_lastLocationInWindow = r->centroidInWindow();
        if (phase == TouchPhase::Moved)
            r->touchesMoved(one);
        else if (phase == TouchPhase::Ended)
            r->touchesEnded(one);
        else
            r->touchesCancelled(one);
        if (ending)
            std::erase(r->m_touches, touch);
    }

    it = d.entries.find(touchId);
    if (it != d.entries.end() && !it->second.claimed) {
        TouchDispatch::Entry& entry = it->second;
        std::shared_ptr<View> view = touch->view();
        if (view && phase == TouchPhase::Moved && entry.delivered) {
            view->touchesMoved(one);
        } else if (view && ending) {
            if (!entry.delivered && entry.delayTimer) {
                // A quick tap inside a scroll view: it never became a scroll, so the view gets it all now.
                Foundation::RunLoop::main().cancelTimer(entry.delayTimer);
                entry.delayTimer = 0;
                if (phase == TouchPhase::Ended) {
                    entry.delivered = true;
                    view->touchesBegan(one);
                    view->touchesEnded(one);
                }
            } else if (entry.delivered) {
                if (phase == TouchPhase::Ended)
                    view->touchesEnded(one);
                else
                    view->touchesCancelled(one);
            }
        }
    }
    if (ending) {
        it = d.entries.find(touchId);
        if (it != d.entries.end()) {
            if (it->second.delayTimer)
                Foundation::RunLoop::main().cancelTimer(it->second.delayTimer);
            d.entries.erase(it);
        }
        if (phase == TouchPhase::Ended) {
            d.lastTapLocation = location;
            d.lastTapTime = timestamp;
            d.lastTapCount = touch->m_tapCount;
        }
    }
    finishRecognizers(recognizers);
}

bool Window::isTouchWithItsView(const Touch& touch) const {
    auto it = m_touches->entries.find(touch.id());
    return it != m_touches->entries.end() && it->second.touch.get() == &touch && it->second.delivered &&
           !it->second.claimed;
}

void Window::cancelAllTouches(double timestamp) {
    std::vector<std::pair<int, Graphics::Point>> ids;
    for (const auto& [id, entry] : m_touches->entries)
        ids.push_back({id, entry.touch->locationInWindow()});
    for (const auto& [id, location] : ids)
        sendTouch(id, TouchPhase::Cancelled, location, timestamp);
}

void Window::deliverDelayedTouch(int touchId, const Touch* touch) {
    auto it = m_touches->entries.find(touchId);
    if (it == m_touches->entries.end() || it->second.touch.get() != touch)
        return;
    TouchDispatch::Entry& entry = it->second;
    entry.delayTimer = 0;
    if (entry.claimed || entry.delivered)
        return;
    entry.delivered = true;
    if (std::shared_ptr<View> view = entry.touch->view())
        view->touchesBegan({entry.touch});
}

// Recognisers whose gesture is over stop receiving touches and start afresh; so do those still
// possible whose fingers have all lifted.
void Window::finishRecognizers(const std::vector<std::weak_ptr<GestureRecognizer>>& recognizers) {
    for (const auto& weak : recognizers) {
        std::shared_ptr<GestureRecognizer> r = weak.lock();
        if (!r)
            continue;
        const GestureRecognizerState s = r->state();
        const bool over = s == GestureRecognizerState::Ended || s == GestureRecognizerState::Cancelled ||
                          s == GestureRecognizerState::Failed;
        if (over || (s == GestureRecognizerState::Possible && r->m_touches.empty())) {
            r->m_touches.clear();
            r->reset();
            r->m_state = GestureRecognizerState::Possible;
        }
    }
}

std::vector<std::shared_ptr<GestureRecognizer>>
Window::recognizersSharingTouches(const GestureRecognizer& recognizer) {
    std::vector<std::shared_ptr<GestureRecognizer>> result;
    std::set<const GestureRecognizer*> seen{&recognizer};
    for (const auto& touch : recognizer.m_touches) {
        auto it = m_touches->entries.find(touch->id());
        if (it == m_touches->entries.end())
            continue;
        for (const auto& weak : it->second.recognizers) {
            std::shared_ptr<GestureRecognizer> other = weak.lock();
            if (other && seen.insert(other.get()).second &&
                std::find(other->m_touches.begin(), other->m_touches.end(), touch) != other->m_touches.end())
                result.push_back(other);
        }
    }
    return result;
}

void Window::claimTouches(const GestureRecognizer& recognizer) {
    const Touches touches = recognizer.m_touches;
    for (const auto& touch : touches) {
        auto it = m_touches->entries.find(touch->id());
        if (it == m_touches->entries.end() || it->second.touch != touch || it->second.claimed)
            continue;
        TouchDispatch::Entry& entry = it->second;
        entry.claimed = true;
        if (entry.delayTimer) {
            Foundation::RunLoop::main().cancelTimer(entry.delayTimer);
            entry.delayTimer = 0;
        }
        if (entry.delivered)
            if (std::shared_ptr<View> view = touch->view())
                view->touchesCancelled({touch});
    }
}

} // namespace Toolkit
