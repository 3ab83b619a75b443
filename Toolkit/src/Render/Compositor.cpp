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

Graphics::Color toGraphics(Color c) {
    return {c.red, c.green, c.blue, c.alpha};
}

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
    // The screen behind every view is black.
    clearRect(*target, area, {0, 0, 0, 255});
    Surface surface{target, nullptr};
    drawView(root, Graphics::AffineTransform::makeScale(scale, scale), surface, area);
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

void Compositor::drawContent(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                             const PixelRect& clip) {
    const Graphics::Rect viewRect = viewToPixel.applyToRect(view.bounds());
    const bool visible = !PixelRect::enclosing(viewRect).intersection(clip).isEmpty();
    if (visible) {
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
                context.setFillColor(toGraphics(background));
                context.fillPath(path);
                context.restoreGState();
            } else {
                fillRect(*surface.bitmap, viewRect, clip, PremultipliedColor::from(background));
            }
        }
        runDraw(view, viewToPixel, surface, clip, DrawPass::Content);
    }
    // A copy: drawing must not be disturbed by views that change the tree while they draw.
    const std::vector<std::shared_ptr<View>> children = view.subviews();
    for (const auto& child : children)
        drawView(*child, Graphics::AffineTransform::concat(child->transformToSuperview(), viewToPixel),
                 surface, clip);
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
    context.setFillColor(toGraphics(view.borderColor()));
    context.fillPath(ring, Graphics::FillRule::EvenOdd);
    context.restoreGState();
}

} // namespace Toolkit
