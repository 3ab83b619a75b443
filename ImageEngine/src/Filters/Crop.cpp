// Filters::crop: the input inside a rectangle, transparent outside.
// The output covers the intersection of the input's extent and the rectangle.
#include "Filters/Nodes.h"

#include <cmath>
#include <cstring>

namespace ImageEngine {

namespace {

class CropNode final : public Node {
public:
    CropNode(const NodePtr& input, const Graphics::Rect& rect)
        : Node(input->extent().intersection(rect), {input}), m_rect(rect.standardized()) {}

    void render(const PixelSpan& out, RenderState& state) const override {
        state.renderInput(*inputs()[0], out);
        if (m_rect.isInfinite())
            return;
        // A pixel belongs to the crop when its centre does; only a fractional edge can cut a
        // pixel of bounds() off.
        PixelRect kept = pixelsWithCentreInside().intersection(out.rect);
        const std::size_t pixelBytes = 4 * sizeof(float);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            float* row = out.row(y);
            if (kept.isEmpty() || y < kept.y || y >= kept.maxY()) {
                std::memset(row, 0, static_cast<std::size_t>(out.rect.w) * pixelBytes);
                continue;
            }
            std::memset(row, 0, static_cast<std::size_t>(kept.x - out.rect.x) * pixelBytes);
            std::memset(row + static_cast<std::size_t>(kept.maxX() - out.rect.x) * 4, 0,
                        static_cast<std::size_t>(out.rect.maxX() - kept.maxX()) * pixelBytes);
        }
    }

    bool describe(ContentKey& key) const override {
        key.add(m_rect);
        return true;
    }

    const Graphics::Rect& rect() const { return m_rect; }

    const Node* passesThrough(const PixelRect& rect) const override {
        return m_rect.isInfinite() || pixelsWithCentreInside().contains(rect) ? inputs()[0].get() : nullptr;
    }

private:
    PixelRect pixelsWithCentreInside() const {
        // A NaN rectangle keeps nothing (and must not reach the integer conversions below).
        if (std::isnan(m_rect.origin.x) || std::isnan(m_rect.origin.y) || std::isnan(m_rect.size.width) ||
            std::isnan(m_rect.size.height))
            return {};
        auto first = [](double edge) { return static_cast<int>(std::ceil(edge - 0.5)); };
        int x0 = first(std::max(m_rect.minX(), -double(kPixelBound)));
        int x1 = first(std::min(m_rect.maxX(), double(kPixelBound)));
        int y0 = first(std::max(m_rect.minY(), -double(kPixelBound)));
        int y1 = first(std::min(m_rect.maxY(), double(kPixelBound)));
        if (x1 <= x0 || y1 <= y0)
            return {};
        return {x0, y0, x1 - x0, y1 - y0};
    }

    Graphics::Rect m_rect;
};

class CropFilter final : public EngineFilter {
public:
    CropFilter() : EngineFilter(Filters::crop) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to cut; nil gives a nil output");
        declareInput(Inputs::rectangle, InputKind::Rectangle, Vector::make(0, 0, 0, 0), {},
                     "x, y, width, height in pixels; a huge one keeps everything");
    }
    ImagePtr build() const override {
        Vector v = vectorInput(Inputs::rectangle);
        return imageWithNode(
            makeCropNode(nodeOf(imageInput(Inputs::image)),
                         Graphics::Rect(v.values[0], v.values[1], v.values[2], v.values[3])));
    }
};

} // namespace

NodePtr makeCropNode(const NodePtr& input, const Graphics::Rect& given) {
    if (!input)
        return nullptr;
    // A pixel is kept when its centre is inside, so moving an edge that lies within the tolerance of
    // a whole pixel onto it keeps the same pixels; it lets a crop mapped through a turn with rounding
    // residues fold into a bitmap read.
    Graphics::Rect rect = given;
    if (!given.isNull() && !given.isInfinite() && !given.isEmpty()) {
        Graphics::Rect s = given.standardized();
        double x0 = snappedToWholePixel(s.minX()), y0 = snappedToWholePixel(s.minY());
        rect = Graphics::Rect(x0, y0, snappedToWholePixel(s.maxX()) - x0, snappedToWholePixel(s.maxY()) - y0);
    }
    if (NodePtr folded = foldCropIntoSource(input, rect))
        return folded;
    return std::make_shared<CropNode>(input, rect);
}

std::optional<std::pair<NodePtr, Graphics::Rect>> cropPartsOf(const NodePtr& node) {
    auto crop = std::dynamic_pointer_cast<const CropNode>(node);
    if (!crop)
        return std::nullopt;
    return std::make_pair(crop->inputs()[0], crop->rect());
}

std::shared_ptr<Filter> makeCropFilter() {
    return makePreparedFilter<CropFilter>();
}

} // namespace ImageEngine
