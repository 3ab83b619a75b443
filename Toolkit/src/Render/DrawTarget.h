#pragma once

#include "Render/Raster.h"

#include <Graphics/AffineTransform.h>
#include <Graphics/Bitmap.h>

namespace Graphics {
class BitmapContext;
}

namespace Toolkit {

// While the compositor runs a view's draw(), what that drawing context stands for: the surface's
// pixels, the clip in top-left pixel coordinates and the view-to-pixel transform. Views with fast
// pixel paths (text, images) read it; the drawing context itself does not reveal its clip.
struct DrawTarget {
    Graphics::Bitmap* bitmap = nullptr;
    PixelRect clip;
    Graphics::AffineTransform viewToPixel;
};

// The target of the draw() in progress when context is the compositor's; nullptr otherwise (a view
// drawn into some other context), in which case views draw through the context alone.
const DrawTarget* currentDrawTarget(const Graphics::BitmapContext& context);

class ScopedDrawTarget {
public:
    ScopedDrawTarget(const Graphics::BitmapContext* context, const DrawTarget& target);
    ~ScopedDrawTarget();
    ScopedDrawTarget(const ScopedDrawTarget&) = delete;
    ScopedDrawTarget& operator=(const ScopedDrawTarget&) = delete;

private:
    const Graphics::BitmapContext* m_previousContext;
    DrawTarget m_previous;
};

} // namespace Toolkit
