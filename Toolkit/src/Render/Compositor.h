#pragma once

#include "Render/Raster.h"

#include <Graphics/AffineTransform.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapContext.h>
#include <memory>

namespace Toolkit {

class View;

// Draws a view tree into a bitmap, one area at a time: backgrounds, each view's draw(), subviews back
// to front, borders; alpha and rounded clipping through groups drawn off screen. Painting descends
// only into views that meet the area.
class Compositor {
public:
    // Redraws area (pixels) of target from root, whose coordinates map to pixels by scale.
    void render(View& root, const std::shared_ptr<Graphics::Bitmap>& target, double scale, PixelRect area);

private:
    struct Surface {
        std::shared_ptr<Graphics::Bitmap> bitmap;
        std::unique_ptr<Graphics::BitmapContext> context;
        Graphics::BitmapContext& ensureContext();
    };
    void drawView(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface, PixelRect clip);
    void drawContent(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                     const PixelRect& clip);
    enum class DrawPass { Content, OverSubviews };
    void runDraw(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                 const PixelRect& clip, DrawPass pass);
    void drawBorder(View& view, const Graphics::AffineTransform& viewToPixel, Surface& surface,
                    const PixelRect& clip);
};

} // namespace Toolkit
