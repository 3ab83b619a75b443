#pragma once

#include <Foundation/Export.h>
#include <ImageEngine/Image.h>
#include <cstddef>
#include <memory>

namespace ImageEngine {

// Renders recipes to bitmaps. One context may render from several threads at once.
class RUX_API Context {
public:
    // How a context cuts and spreads its work; the defaults suit interactive rendering, tests and
    // benchmarks pick others. The bytes rendered never depend on these.
    struct RenderOptions {
        int tileWidth = 0;  // pixels; 0 = default
        int tileHeight = 0; // pixels; 0 = default
        int maxThreads = 0; // threads working on one render, the caller included; 0 = the whole pool
    };

    // Never fails. Any thread may call it.
    static std::shared_ptr<Context> create();
    // A context with the given options (values below 1 take the defaults). Never fails. Any thread.
    static std::shared_ptr<Context> create(const RenderOptions& options);

    // createCGImage:fromRect: — renders rect of image, one pixel per unit, into a new RGBA8 bitmap
    // (premultiplied, alpha last, sRGB), rect's top edge in memory row 0. A fractional rect is
    // rounded outward. nullptr for a null image, an empty, null or infinite rect, or a bitmap over
    // the pixel limit. The caller owns the result. Any thread may call it; the work runs in tiles on
    // the shared pool and the caller's thread.
    std::shared_ptr<Graphics::Bitmap> createCGImage(const ImagePtr& image, const Graphics::Rect& rect) const;

    // The bytes of scratch memory the engine's threads hold, in use by renders or kept for the next
    // one. Between renders it stays within kKeptScratchBytesPerThread for each thread that has
    // rendered, however large the renders were. Never fails; any thread.
    static std::size_t scratchBytesHeld();
    static constexpr std::size_t kKeptScratchBytesPerThread = std::size_t{8} << 20;
    // A context keeps the coarse grids of its renders (the local statistics of highlights and
    // shadows) and the pictures marked by Image::imageByKeepingPixels, at most this many bytes of
    // them, so that the next render of a recipe whose grid or marked picture depends on nothing that
    // changed reads it instead of computing it again. What lies below a slider's edit in a
    // 1920 × 1280 screen picture (39 MB of float pixels) fits beside the grids. A render gives the
    // same bytes whether it finds one or not.
    static constexpr std::size_t kKeptRenderWideBytes = std::size_t{48} << 20;

    Context();
    explicit Context(const RenderOptions& options);
    ~Context();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace ImageEngine
