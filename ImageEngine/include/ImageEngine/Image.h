#pragma once

#include <Foundation/Export.h>
#include <Graphics/AffineTransform.h>
#include <Graphics/Bitmap.h>
#include <Graphics/Geometry.h>
#include <memory>

namespace ImageEngine {

class Node; // the engine's private graph node

// An image recipe: immutable, lazy; nothing is computed until a Context renders it. Coordinates are
// pixels, origin bottom-left, y up. Shared freely between threads.
class RUX_API Image {
public:
    // A recipe of a bitmap with extent (0, 0, width, height); the bitmap's memory row 0 is the top
    // (y = height − 1). The bitmap must not be written to afterwards. nullptr for a null bitmap.
    static std::shared_ptr<const Image> createWithBitmap(std::shared_ptr<const Graphics::Bitmap> bitmap);

    // The rectangle where the image is defined; may be infinite (Rect::infinite()) or empty.
    Graphics::Rect extent() const;

    // Filters::affineTransform with this image and the matrix.
    std::shared_ptr<const Image> imageByApplyingTransform(const Graphics::AffineTransform& transform) const;
    // Filters::crop with this image and the rectangle.
    std::shared_ptr<const Image> imageByCroppingToRect(const Graphics::Rect& rect) const;
    // The same pixels, marked as a picture that the next renders are likely to need again unchanged
    // (what lies below the edit a slider moves): a render computes it once over all it needs before
    // the tiles start, and a context keeps it for its next render of a recipe with the same graph
    // below (see Context::kKeptRenderWideBytes). Marking changes no pixel.
    std::shared_ptr<const Image> imageByKeepingPixels() const;

    // The engine's own node; for the engine's implementation only.
    const std::shared_ptr<const Node>& node() const { return m_node; }
    explicit Image(std::shared_ptr<const Node> node) : m_node(std::move(node)) {}

private:
    std::shared_ptr<const Node> m_node;
};

using ImagePtr = std::shared_ptr<const Image>;

} // namespace ImageEngine
