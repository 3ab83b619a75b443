#pragma once

#include <Foundation/Export.h>
#include <Graphics/AffineTransform.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/Color.h>
#include <Graphics/Path.h>
#include <memory>
#include <vector>

namespace Graphics {

enum class LineCap { Butt, Round, Square };

// A drawing context over a bitmap, with the platform's 2-D conventions: user space starts as device
// space with the origin at the bottom-left and y up (one unit a pixel); the current transform maps
// user space to device space. Everything drawn is anti-aliased and composited source-over in
// premultiplied sRGB bytes. Used by one thread at a time.
class RUX_API BitmapContext {
public:
    // A context drawing into target (RGBA8, or Gray8 where the red channel is kept); nullptr for a
    // null target.
    static std::unique_ptr<BitmapContext> create(std::shared_ptr<Bitmap> target);
    // A new transparent (or opaque black) RGBA8 bitmap of that size, and a context on it; nullptr
    // when the bitmap cannot be made.
    static std::unique_ptr<BitmapContext> create(int width, int height,
                                                 Opacity opacity = Opacity::Translucent);

    Bitmap& bitmap() { return *m_bitmap; }
    const std::shared_ptr<Bitmap>& sharedBitmap() const { return m_bitmap; }

    // Graphics state: transform, colours, line settings, global alpha and clip.
    void saveGState();
    // Does nothing when nothing was saved.
    void restoreGState();
    void translateCTM(double x, double y);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double angle);
    void concatCTM(const AffineTransform& transform);
    AffineTransform ctm() const { return m_state.ctm; }

    void setFillColor(Color color) { m_state.fill = color; }
    void setStrokeColor(Color color) { m_state.stroke = color; }
    void setLineWidth(double width) { m_state.lineWidth = width; }
    void setLineCap(LineCap cap) { m_state.cap = cap; }
    // Dash lengths alternate drawn and gap, in user units, starting `phase` into the pattern. An empty
    // list (or one with no positive length) means solid lines.
    void setLineDash(double phase, std::vector<double> lengths);
    void setAlpha(double alpha);
    // Narrows the clip to rect (user space; its device bounding box).
    void clipToRect(const Rect& rect);

    void fillRect(const Rect& rect);
    // Sets the pixels under rect to transparent (opaque bitmaps: to black).
    void clearRect(const Rect& rect);
    void strokeRect(const Rect& rect);

    // The current path, in user space at the time each element is added.
    void beginPath() { m_path = Path(); }
    void moveToPoint(Point p) { m_path.moveTo(m_state.ctm.applyToPoint(p)); }
    void addLineToPoint(Point p) { m_path.lineTo(m_state.ctm.applyToPoint(p)); }
    void closePath() { m_path.closeSubpath(); }
    // Strokes / fills the current path and empties it.
    void strokePath();
    void fillPath(FillRule rule = FillRule::NonZero);

    // Fills or strokes a path given in user space; the current path is not touched.
    void fillPath(const Path& path, FillRule rule = FillRule::NonZero);
    void strokePath(const Path& path);

    // The image turned upright by its orientation and stretched over rect, its top at the rect edge
    // nearest the bitmap's first row (so it looks upright whichever way y runs in user space),
    // sampled bilinearly. Only the scale and translation of the transform are honoured for images.
    void drawImage(const Rect& rect, const BitmapImage& image);

    // A copy of the pixels (the context's bitmap keeps changing); nullptr when memory runs out.
    std::shared_ptr<Bitmap> makeImage() const { return m_bitmap->copy(); }

private:
    struct State {
        AffineTransform ctm;
        Color fill = Color::black();
        Color stroke = Color::black();
        double lineWidth = 1;
        LineCap cap = LineCap::Butt;
        double dashPhase = 0;
        std::vector<double> dashLengths;
        double alpha = 1;
        Rect clip; // device space
    };

    explicit BitmapContext(std::shared_ptr<Bitmap> bitmap);
    // Path in device space.
    void fillDevicePath(const Path& devicePath, FillRule rule, Color color);
    // The stroke outline of a user-space path, in device space.
    Path strokeOutline(const Path& userPath) const;

    std::shared_ptr<Bitmap> m_bitmap;
    State m_state;
    std::vector<State> m_saved;
    Path m_path; // device space
};

// The platform's image mask from a grey bitmap: a sample s paints with opacity 1 − s (white hides,
// black shows). A copy of the samples; nullptr unless the bitmap is Gray8.
RUX_API std::shared_ptr<const Bitmap> createImageMask(const Bitmap& gray);

// image with mask applied: each pixel's premultiplied colour and alpha scaled by 1 − s, the mask
// stretched over the image without interpolation. nullptr for a null mask or when memory runs out.
RUX_API std::shared_ptr<BitmapImage> createMaskedImage(const BitmapImage& image,
                                                       const std::shared_ptr<const Bitmap>& mask);

} // namespace Graphics
