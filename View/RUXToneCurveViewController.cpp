#include <Graphics/Bitmap.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/Path.h>
#include <ImageEngine/ToneCurve.h>
#include <Manager/RUXRenderFormula.h>
#include <Toolkit/Event.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXToneCurveViewController.h>
#include <algorithm>
#include <cmath>

namespace {

// The smallest gap kept between two points' x, so that a drag never reorders them.
constexpr double kMinimumGap = 0.01;
// The gap between the preview and the graph, and between the graph and the OK/Cancel bar.
constexpr double kGap = 8;

ImageEngine::ToneCurve curveThrough(const std::vector<Graphics::Point>& points) {
    std::vector<ImageEngine::ToneCurve::Point> curvePoints;
    for (const Graphics::Point& p : points) {
        curvePoints.push_back({p.x, p.y});
    }
    return ImageEngine::ToneCurve::throughPoints(curvePoints);
}

std::vector<Graphics::Point> completePoints(const std::vector<Graphics::Point>& points) {
    const ImageEngine::ToneCurve curve = curveThrough(points);
    std::vector<Graphics::Point> complete;
    for (const ImageEngine::ToneCurve::Point& p : curve.points()) {
        complete.push_back({p.x, p.y});
    }
    return complete;
}

} // namespace

// ---- The graph ----

std::shared_ptr<RUXToneCurveGraphView> RUXToneCurveGraphView::create(const Graphics::Rect& frame) {
    return std::shared_ptr<RUXToneCurveGraphView>(new RUXToneCurveGraphView(frame));
}

RUXToneCurveGraphView::RUXToneCurveGraphView(const Graphics::Rect& frame)
    : Toolkit::View(frame), m_points(completePoints({})) {
    setBackgroundColor(RUXColorWithHexCode(0x000000));
}

void RUXToneCurveGraphView::setPoints(const std::vector<Graphics::Point>& points) {
    std::vector<Graphics::Point> complete = completePoints(points);
    if (complete == m_points) {
        return;
    }
    m_points = std::move(complete);
    m_draggedIndex = -1;
    m_dragTouchId = -1;
    m_dragIsOff = false;
    setNeedsDisplay();
}

std::vector<Graphics::Point> RUXToneCurveGraphView::points() const {
    if (!m_dragIsOff || m_draggedIndex < 0) {
        return m_points;
    }
    std::vector<Graphics::Point> kept = m_points;
    kept.erase(kept.begin() + m_draggedIndex);
    return completePoints(kept);
}

void RUXToneCurveGraphView::setHistogram(std::vector<double> histogram) {
    m_histogram = std::move(histogram);
    setNeedsDisplay();
}

Graphics::Rect RUXToneCurveGraphView::graphRect() const {
    const Graphics::Rect b = bounds();
    return Graphics::Rect(b.origin.x + kInset, b.origin.y + kInset, std::max(0.0, b.width() - 2 * kInset),
                          std::max(0.0, b.height() - 2 * kInset));
}

Graphics::Point RUXToneCurveGraphView::viewPointForCurvePoint(Graphics::Point p) const {
    const Graphics::Rect g = graphRect();
    return {g.origin.x + p.x * g.width(), g.origin.y + (1 - p.y) * g.height()};
}

Graphics::Point RUXToneCurveGraphView::curvePointForViewPoint(Graphics::Point p) const {
    const Graphics::Rect g = graphRect();
    if (g.width() <= 0 || g.height() <= 0) {
        return {0, 0};
    }
    return {(p.x - g.origin.x) / g.width(), 1 - (p.y - g.origin.y) / g.height()};
}

void RUXToneCurveGraphView::draw(Graphics::BitmapContext& context) {
    const Graphics::Rect g = graphRect();
    context.saveGState();
    context.setFillColor(RUXColorWithHexCode(0x191919));
    context.fillRect(g);

    // The histogram, each level a bar scaled to the fullest one.
    const double fullest =
        m_histogram.size() == 256 ? *std::max_element(m_histogram.begin(), m_histogram.end()) : 0;
    if (fullest > 0) {
        context.setFillColor(RUXColorWithHexCode(0x4A4A4A));
        const double barWidth = g.width() / 256;
        for (std::size_t level = 0; level < 256; ++level) {
            const double height = g.height() * m_histogram[level] / fullest;
            if (height > 0) {
                context.fillRect(Graphics::Rect(g.origin.x + double(level) * barWidth, g.maxY() - height,
                                                barWidth, height));
            }
        }
    }

    // Quarter lines and the diagonal the curve starts from.
    context.setStrokeColor(RUXColorWithHexCode(0x3C3C3C));
    context.setLineWidth(1);
    for (int i = 1; i < 4; ++i) {
        context.beginPath();
        context.moveToPoint({g.origin.x + g.width() * i / 4, g.origin.y});
        context.addLineToPoint({g.origin.x + g.width() * i / 4, g.maxY()});
        context.moveToPoint({g.origin.x, g.origin.y + g.height() * i / 4});
        context.addLineToPoint({g.maxX(), g.origin.y + g.height() * i / 4});
        context.strokePath();
    }
    context.beginPath();
    context.moveToPoint({g.origin.x, g.maxY()});
    context.addLineToPoint({g.maxX(), g.origin.y});
    context.strokePath();
    context.strokeRect(g);

    // The curve through the points a finger has not dragged off.
    const ImageEngine::ToneCurve curve = curveThrough(points());
    const int segments = std::max(2, int(g.width() / 2));
    context.setStrokeColor(RUXColorWithHexCode(0xFFFFFF));
    context.setLineWidth(2);
    context.beginPath();
    for (int i = 0; i <= segments; ++i) {
        const double x = double(i) / segments;
        const Graphics::Point p = viewPointForCurvePoint({x, curve.valueAt(x)});
        if (i == 0) {
            context.moveToPoint(p);
        } else {
            context.addLineToPoint(p);
        }
    }
    context.strokePath();

    // The points, the one a finger holds larger.
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        if (m_dragIsOff && int(i) == m_draggedIndex) {
            continue;
        }
        const double radius = int(i) == m_draggedIndex ? 8 : 5;
        const Graphics::Point centre = viewPointForCurvePoint(m_points[i]);
        Graphics::Path dot;
        dot.addEllipseInRect(Graphics::Rect(centre.x - radius, centre.y - radius, 2 * radius, 2 * radius));
        context.setFillColor(RUXColorWithHexCode(0xFF5722));
        context.fillPath(dot);
    }
    context.restoreGState();
}

int RUXToneCurveGraphView::pointNear(Graphics::Point viewPoint) const {
    int nearest = -1;
    double nearestDistance = kTouchRadius;
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        const Graphics::Point p = viewPointForCurvePoint(m_points[i]);
        const double distance = std::hypot(p.x - viewPoint.x, p.y - viewPoint.y);
        if (distance <= nearestDistance) {
            nearest = int(i);
            nearestDistance = distance;
        }
    }
    return nearest;
}

void RUXToneCurveGraphView::touchesBegan(const Toolkit::Touches& touches) {
    if (m_dragTouchId >= 0 || touches.empty()) {
        return;
    }
    const std::shared_ptr<Toolkit::Touch>& touch = touches.front();
    const Graphics::Point location = touch->locationInView(shared_from_this());
    const int index = pointNear(location);
    if (index >= 0 && touch->tapCount() >= 2) {
        // A second tap on a point removes it.
        m_points.erase(m_points.begin() + index);
        m_points = completePoints(m_points);
        didChangePoints();
        return;
    }
    if (index >= 0) {
        m_draggedIndex = index;
    } else {
        // Away from every point: a new point where the finger landed, which the finger then drags.
        const Graphics::Point p = curvePointForViewPoint(location);
        if (p.x <= 0 || p.x >= 1 || p.y < 0 || p.y > 1) {
            return;
        }
        auto next = std::upper_bound(m_points.begin(), m_points.end(), p.x,
                                     [](double x, const Graphics::Point& q) { return x < q.x; });
        if ((next != m_points.end() && next->x - p.x < kMinimumGap) ||
            (next != m_points.begin() && p.x - std::prev(next)->x < kMinimumGap)) {
            return;
        }
        m_draggedIndex = int(next - m_points.begin());
        m_points.insert(next, p);
        didChangePoints();
    }
    m_dragTouchId = touch->id();
    m_dragIsOff = false;
    setNeedsDisplay();
}

void RUXToneCurveGraphView::moveDraggedPoint(Graphics::Point viewPoint) {
    const Graphics::Rect g = graphRect();
    // Far enough off the square, the point goes (shown as gone until the finger lifts).
    const double dx = std::max({g.origin.x - viewPoint.x, viewPoint.x - g.maxX(), 0.0});
    const double dy = std::max({g.origin.y - viewPoint.y, viewPoint.y - g.maxY(), 0.0});
    const bool off = std::max(dx, dy) > kRemovalDistance;
    const Graphics::Point wanted = curvePointForViewPoint(viewPoint);
    Graphics::Point& p = m_points[std::size_t(m_draggedIndex)];
    Graphics::Point moved = p;
    moved.y = std::clamp(wanted.y, 0.0, 1.0);
    const bool isEnd = m_draggedIndex == 0 || std::size_t(m_draggedIndex) + 1 == m_points.size();
    if (!isEnd) {
        const double low = m_points[std::size_t(m_draggedIndex) - 1].x + kMinimumGap;
        const double high = m_points[std::size_t(m_draggedIndex) + 1].x - kMinimumGap;
        moved.x = std::clamp(wanted.x, low, std::max(low, high));
    }
    if (off == m_dragIsOff && (off || moved == p)) {
        return;
    }
    m_dragIsOff = off;
    if (!off) {
        p = moved;
    }
    didChangePoints();
}

void RUXToneCurveGraphView::touchesMoved(const Toolkit::Touches& touches) {
    for (const std::shared_ptr<Toolkit::Touch>& touch : touches) {
        if (touch->id() == m_dragTouchId && m_draggedIndex >= 0) {
            moveDraggedPoint(touch->locationInView(shared_from_this()));
        }
    }
}

void RUXToneCurveGraphView::touchesEnded(const Toolkit::Touches& touches) {
    for (const std::shared_ptr<Toolkit::Touch>& touch : touches) {
        if (touch->id() != m_dragTouchId) {
            continue;
        }
        const bool remove = m_dragIsOff && m_draggedIndex >= 0;
        if (remove) {
            m_points.erase(m_points.begin() + m_draggedIndex);
            m_points = completePoints(m_points);
        }
        m_draggedIndex = -1;
        m_dragTouchId = -1;
        m_dragIsOff = false;
        // The curve already showed the removal while the finger was off; only the dot shrinks.
        setNeedsDisplay();
    }
}

void RUXToneCurveGraphView::touchesCancelled(const Toolkit::Touches& touches) {
    touchesEnded(touches);
}

void RUXToneCurveGraphView::didChangePoints() {
    setNeedsDisplay();
    if (auto d = delegate()) {
        d->toneCurveGraphDidChangePoints(*this);
    }
}

// ---- The screen ----

std::shared_ptr<RUXToneCurveViewController> RUXToneCurveViewController::createWithConfiguration(
    std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration,
    std::shared_ptr<RUXEditManager> editManager, std::shared_ptr<RUXImageRenderer> imageRenderer) {
    auto screen = std::shared_ptr<RUXToneCurveViewController>(new RUXToneCurveViewController(
        std::move(configuration), std::move(editManager), std::move(imageRenderer)));
    screen->m_transformation =
        screen->workingCopyOfClass<RUXToneCurveTransformation>(RUXToneCurveTransformation::classDescriptor());
    return screen;
}

void RUXToneCurveViewController::viewDidLoad() {
    RUXTransformationViewControllerBase::viewDidLoad();
    setupSubviews();
    view()->setBackgroundColor(RUXColorWithHexCode(0x000000));
}

void RUXToneCurveViewController::viewWillAppear(Toolkit::Animated animated) {
    RUXTransformationViewControllerBase::viewWillAppear(animated);
    setTitle(titleForTransformation(m_transformation.get()));
    if (m_imageView && imageRenderer()) {
        m_imageView->renderAndShowImageSync(imageRenderer()->lastRenderFormula());
    }
}

void RUXToneCurveViewController::setupSubviews() {
    // The graph is a square in the lower part of the screen, just above the OK/Cancel bar; the
    // preview fills the image band above it.
    const Graphics::Rect imageBand = rectForImageView(), bar = rectForToolbar();
    const double width = view()->bounds().width();
    const double side = std::max(0.0, std::min(width - 48, 0.45 * (bar.origin.y - imageBand.origin.y)));
    const Graphics::Rect graphFrame((width - side) / 2, bar.origin.y - kGap - side, side, side);
    const Graphics::Rect previewFrame(0, imageBand.origin.y, width,
                                      std::max(0.0, graphFrame.origin.y - kGap - imageBand.origin.y));

    m_imageView = RUXImageView::create(previewFrame, imageRenderer());
    m_imageView->setDelegate(sharedAs<RUXImageViewDelegate>());
    view()->addSubview(m_imageView);

    m_graphView = RUXToneCurveGraphView::create(graphFrame);
    m_graphView->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleLeftMargin |
                                     Toolkit::AutoresizingMask::FlexibleRightMargin |
                                     Toolkit::AutoresizingMask::FlexibleTopMargin);
    m_graphView->setDelegate(sharedAs<RUXToneCurveGraphViewDelegate>());
    if (m_transformation) {
        m_graphView->setPoints(m_transformation->points());
    }
    view()->addSubview(m_graphView);

    // The histogram of what the curve will act on: the list without the curve, at thumbnail size,
    // which is a few hundred pixels across and counts in well under a frame.
    if (editManager() && imageRenderer()) {
        RUXTransformationList others;
        for (const RUXTransformationPtr& t : editManager()->transformations()) {
            if (&t->transformationClass() != &RUXToneCurveTransformation::classDescriptor()) {
                others.push_back(t);
            }
        }
        auto picture =
            imageRenderer()->renderedImage(RUXRenderFormula::create(editManager()->thumbnailImage(), others));
        m_graphView->setHistogram(luminanceHistogram(picture ? picture->bitmap().get() : nullptr));
    }

    m_okCancelBar = RUXOkCancelBar::create(rectForToolbar());
    m_okCancelBar->setDelegate(sharedAs<RUXOkCancelBarDelegate>());
    view()->addSubview(m_okCancelBar);
}

void RUXToneCurveViewController::showPreview() {
    if (m_imageView && editManager() && m_transformation) {
        m_imageView->renderAndShowImageAsync(
            editManager()->highQualityPreviewImageWithTransformation(m_transformation));
    }
}

bool RUXToneCurveViewController::imageViewDidTouchDown(RUXImageView&) {
    if (m_imageView && editManager()) {
        m_imageView->renderAndShowImageAsync(
            editManager()->imageWithAllTransformationsExcept(RUXToneCurveTransformation::classDescriptor()));
    }
    return true;
}

bool RUXToneCurveViewController::imageViewDidTouchUp(RUXImageView&) {
    showPreview();
    return true;
}

void RUXToneCurveViewController::toneCurveGraphDidChangePoints(RUXToneCurveGraphView& graph) {
    if (!m_transformation) {
        return;
    }
    m_transformation->setPoints(graph.points());
    showPreview();
}

void RUXToneCurveViewController::okCancelBarDidPressOkButton(RUXOkCancelBar&) {
    commitAndDismiss(m_transformation);
}

void RUXToneCurveViewController::okCancelBarDidPressCancelButton(RUXOkCancelBar&) {
    dismiss();
}

std::vector<double> RUXToneCurveViewController::luminanceHistogram(const Graphics::Bitmap* bitmap) {
    if (!bitmap) {
        return {};
    }
    std::vector<double> counts(256, 0);
    for (int y = 0; y < bitmap->height(); ++y) {
        const std::uint8_t* row = bitmap->row(y);
        for (int x = 0; x < bitmap->width(); ++x) {
            const std::uint8_t* p = row + 4 * x;
            if (p[3] == 0) {
                continue;
            }
            // Premultiplied bytes: the straight colour's luma, counted by how much of the pixel is there.
            const double luma = (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) * 255 / p[3];
            counts[std::size_t(std::clamp(std::lround(luma), 0L, 255L))] += p[3] / 255.0;
        }
    }
    return counts;
}
