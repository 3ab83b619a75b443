#include "Render/Compositor.h"

#include "Render/DrawTarget.h"

#include <Graphics/Path.h>
#include <Toolkit/View.h>
#include <cmath>
#include <functional>

namespace Toolkit {

namespace {

const Graphics::BitmapContext* g_drawContext = nullptr;
DrawTarget g_drawTarget;

// The area the view and its subviews may paint, in the view's coordinates.
Graphics::Rect subtreeExtent(const View& view,
                             const std::function<Graphics::AffineTransform(const View&)>& toSuper) {
    Graphics::Rect r = view.bounds();
    if (view.clipsToBounds())
        return r;
    for (const auto& child : view.subviews())
        if (!child->isHidden())
            r = r.unionWith(toSuper(*child).applyToRect(subtreeExtent(*child, toSuper)));
    return r;
}

} // namespace

const DrawTarget* currentDrawTarget(const Graphics::BitmapContext& context) {
    return g_drawContext == &context ? &g_drawTarget : nullptr;
}

ScopedDrawTarget::ScopedDrawTarget(const Graphics::BitmapContext* context, const DrawTarget& target)
    : m_previousContext(g_drawContext), m_previous(g_drawTarget) {
    g_drawContext = context;
    g_drawTarget = target;
}

ScopedDrawTarget::~ScopedDrawTarget() {
    g_drawContext = m_previousContext;
    g_drawTarget = m_previous;
}

Graphics::BitmapContext& Compositor::Surface::ensureContext() {
    if (!context)
        context = Graphics::BitmapContext::create(bitmap);
    return *context;
}

void Compositor::render(View& root, const std::shared_ptr<Graphics::Bitmap>& target, double scale,
                        PixelRect area) {
    if (!target)
        return;
    area = area.intersection({0, 0, target->width(), target->height()});
    if (area.isEmpty())
        return;
    const Graphics::AffineTransform rootToPixel = Graphics::AffineTransform::makeScale(scale, scale);
    // The screen behind every view is black, unless something opaque paints all of the area anyway.
    if (!covers(root, rootToPixel, area))
        clearRect(*target, area, {0, 0, 0, 255});
    Surface surface{target, nullptr};
    drawView(root, rootToPixel, surface, area);
}

void Compositor::drawView(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                          PixelRect clip) {
    if (view.isHidden() || view.alpha() <= 0)
        return;
    const Graphics::Rect viewRect = viewToPixel.applyToRect(view.bounds());
    if (view.clipsToBounds())
        clip = clip.intersection(PixelRect::fromRect(viewRect));
    if (clip.isEmpty())
        return;
    const bool rounded = view.cornerRadius() > 0 && view.clipsToBounds();
    if (view.alpha() >= 1 && !rounded)
        return drawContent(view, viewToPixel, surface, clip);

    // A group: the subtree is drawn off screen at full opacity, then blended once, so overlapping
    // subviews do not show through each other.
    auto toSuper = [](const View& v) { return v.transformToSuperview(); };
    const PixelRect groupRect =
        PixelRect::enclosing(viewToPixel.applyToRect(subtreeExtent(view, toSuper))).intersection(clip);
    if (groupRect.isEmpty())
        return;
    Surface group{Graphics::Bitmap::create(groupRect.width(), groupRect.height()), nullptr};
    if (!group.bitmap)
        return drawContent(view, viewToPixel, surface, clip);
    const Graphics::AffineTransform groupToPixel = Graphics::AffineTransform::concat(
        viewToPixel, Graphics::AffineTransform::makeTranslation(-groupRect.x0, -groupRect.y0));
    drawContent(view, groupToPixel, group, {0, 0, groupRect.width(), groupRect.height()});
    const double radius = view.cornerRadius() * std::sqrt(std::abs(viewToPixel.determinant()));
    compositeGroup(*surface.bitmap, *group.bitmap, groupRect.x0, groupRect.y0, view.alpha(),
                   rounded ? &viewRect : nullptr, radius);
}

bool Compositor::covers(const View& view, const Graphics::AffineTransform& viewToPixel,
                        const PixelRect& clip) {
    if (view.isHidden() || view.alpha() < 1 || view.cornerRadius() > 0 || !isAxisAligned(viewToPixel))
        return false;
    const Graphics::Rect r = viewToPixel.applyToRect(view.bounds());
    // Only pixels the view's rect covers completely count.
    const PixelRect inner{static_cast<int>(std::ceil(r.minX())), static_cast<int>(std::ceil(r.minY())),
                          static_cast<int>(std::floor(r.maxX())), static_cast<int>(std::floor(r.maxY()))};
    const bool containsClip = inner.intersection(clip) == clip;
    if (containsClip && view.backgroundColor().alpha >= 1)
        return true;
    if (view.clipsToBounds() && !containsClip)
        return false;
    const auto& children = view.subviews();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (covers(**it, Graphics::AffineTransform::concat((*it)->transformToSuperview(), viewToPixel), clip))
            return true;
    return false;
}

void Compositor::drawContent(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                             const PixelRect& clip) {
    const Graphics::Rect viewRect = viewToPixel.applyToRect(view.bounds());
    const bool visible = !PixelRect::enclosing(viewRect).intersection(clip).isEmpty();
    // A copy: drawing must not be disturbed by views that change the tree while they draw.
    const std::vector<std::shared_ptr<View>> children = view.subviews();
    // Subviews behind an opaque one that fills the whole area, and this view's own content, would be
    // painted over entirely: they are not drawn at all.
    std::size_t first = 0;
    bool ownContentHidden = false;
    for (std::size_t i = children.size(); i-- > 0;)
        if (covers(*children[i],
                   Graphics::AffineTransform::concat(children[i]->transformToSuperview(), viewToPixel),
                   clip)) {
            first = i;
            ownContentHidden = true;
            break;
        }
    if (visible && !ownContentHidden) {
        const Color background = view.backgroundColor();
        if (background.alpha > 0) {
            if (view.cornerRadius() > 0 || !isAxisAligned(viewToPixel)) {
                Graphics::BitmapContext& context = surface.ensureContext();
                const int height = surface.bitmap->height();
                context.saveGState();
                context.clipToRect(
                    {double(clip.x0), double(height - clip.y1), double(clip.width()), double(clip.height())});
                context.concatCTM(
                    Graphics::AffineTransform::concat(viewToPixel, {1, 0, 0, -1, 0, double(height)}));
                Graphics::Path path;
                path.addRoundedRect(view.bounds(), view.cornerRadius());
                context.setFillColor(background);
                context.fillPath(path);
                context.restoreGState();
            } else {
                fillRect(*surface.bitmap, viewRect, clip, PremultipliedColor::from(background));
            }
        }
        runDraw(view, viewToPixel, surface, clip, DrawPass::Content);
    }
    for (std::size_t i = first; i < children.size(); ++i)
        drawView(*children[i],
                 Graphics::AffineTransform::concat(children[i]->transformToSuperview(), viewToPixel), surface,
                 clip);
    if (visible && view.m_drawsOverSubviews)
        runDraw(view, viewToPixel, surface, clip, DrawPass::OverSubviews);
    if (visible && view.borderWidth() > 0 && view.borderColor().alpha > 0)
        drawBorder(view, viewToPixel, surface, clip);
}

void Compositor::runDraw(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                         const PixelRect& clip, DrawPass pass) {
    Graphics::BitmapContext& context = surface.ensureContext();
    const int height = surface.bitmap->height();
    context.saveGState();
    // The clip first, in device space (y up), then the view's coordinates (y down).
    context.clipToRect(
        {double(clip.x0), double(height - clip.y1), double(clip.width()), double(clip.height())});
    context.concatCTM(Graphics::AffineTransform::concat(viewToPixel, {1, 0, 0, -1, 0, double(height)}));
    {
        ScopedDrawTarget scope(&context, {surface.bitmap.get(), clip, viewToPixel});
        if (pass == DrawPass::Content)
            view.draw(context);
        else
            view.drawOverSubviews(context);
    }
    context.restoreGState();
}

void Compositor::drawBorder(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                            const PixelRect& clip) {
    const Graphics::Rect b = view.bounds();
    const double w = std::min({view.borderWidth(), b.width() / 2, b.height() / 2});
    if (w <= 0)
        return;
    if (view.cornerRadius() <= 0 && isAxisAligned(viewToPixel)) {
        const PremultipliedColor color = PremultipliedColor::from(view.borderColor());
        const Graphics::Rect edges[4] = {
            {b.minX(), b.minY(), b.width(), w},
            {b.minX(), b.maxY() - w, b.width(), w},
            {b.minX(), b.minY() + w, w, b.height() - 2 * w},
            {b.maxX() - w, b.minY() + w, w, b.height() - 2 * w},
        };
        for (const Graphics::Rect& edge : edges)
            if (edge.height() > 0 && edge.width() > 0)
                fillRect(*surface.bitmap, viewToPixel.applyToRect(edge), clip, color);
        return;
    }
    Graphics::BitmapContext& context = surface.ensureContext();
    const int height = surface.bitmap->height();
    context.saveGState();
    context.clipToRect(
        {double(clip.x0), double(height - clip.y1), double(clip.width()), double(clip.height())});
    context.concatCTM(Graphics::AffineTransform::concat(viewToPixel, {1, 0, 0, -1, 0, double(height)}));
    Graphics::Path ring;
    ring.addRoundedRect(b, view.cornerRadius());
    ring.addRoundedRect(b.insetBy(w, w), std::max(0.0, view.cornerRadius() - w));
    context.setFillColor(view.borderColor());
    context.fillPath(ring, Graphics::FillRule::EvenOdd);
    context.restoreGState();
}

} // namespace Toolkit
