#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Convolution.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

// The circle blur: the photo blurred with a separable integer Gaussian whose length is about 8 % of
// the shorter side, with the sharp photo painted back through a mask drawn from the "circle" image
// around the point. The point is in pixels from the top-left; (0, 0) means not yet placed, and the
// first full render places it at the centre. The full result is a recipe of the engine's circle-blur
// operations: nothing is rendered until the recipe is.
//
// Nothing clamps the point: a point off the picture draws the circle off it, so the full result is
// blurred everywhere and the quick one faded to white everywhere. A coordinate that is not a number
// counts as infinitely far off, with the same results; the stored point is left as it was.
class RUX_API RUXBeautifulBlurTransformation final : public RUXPositionalTransformation {
    RUX_TRANSFORMATION_CLASS(RUXBeautifulBlurTransformation)
public:
    // The integer kernel: weights scaled to 255 at the centre, and their sum (the engine's
    // integerGaussianKernel).
    using Kernel = ImageEngine::IntegerKernel;

    // Its parameters, slot and sort order, said once.
    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }

    Graphics::Point point() const override;
    void setPoint(Graphics::Point point) override;
    // Stored only; no result uses it.
    double scale() const override;
    void setScale(double scale) override;
    // How many white backgrounds the quick path has kept (one per image size seen).
    std::size_t cachedBackgroundCount() const;

    // The full circle blur as a recipe (nothing is rendered here); places an unplaced point. nullptr
    // for a nullptr input; an input that cannot be blurred (empty, infinite, beyond the engine's pixel
    // range) is returned unchanged.
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    // The photo faded to white from 100 pixels around the point out to the longer side.
    ImageEngine::ImagePtr quickResultFromImage(const ImageEngine::ImagePtr& image,
                                               RUXImageMetadata& metadata) override;
    // Carries the point only: the copy's scale is 0 and its background cache empty.
    RUXTransformationPtr copy() const override;

    // The odd kernel length for an image: the shorter side × 0.08, truncated, made odd upwards.
    static int kernelSizeForSize(int width, int height);
    static Kernel kernelOfSize(int size);
    using ConvolutionResult = ImageEngine::ConvolutionResult;
    // The engine's convolveSeparably: blurs the RGBA pixels in place, vertically then horizontally,
    // edges extended. A kernel of one tap leaves the pixels as they are. On failure (a bitmap that is
    // not RGBA, a kernel of even length or without weight, no memory for the scratch picture) the
    // pixels are untouched. Any thread.
    static ConvolutionResult convolve(Graphics::Bitmap& bitmap, const Kernel& kernel);
    // A bitmap of that size filled with the colour; nullptr for an empty or oversized size.
    static std::shared_ptr<Graphics::BitmapImage> imageForColor(double red, double green, double blue,
                                                                double alpha, Graphics::Size size);
    // The grey mask for a picture whose whole pixels are pixelRect, as a recipe: white, with the
    // circle image drawn stretched into its own size centred on point (from the picture's top-left)
    // and grown by 500 on every side. Black keeps the photo sharp. A missing circle leaves it all
    // white. Any thread.
    static ImageEngine::ImagePtr circleMaskImage(const Graphics::Rect& pixelRect, Graphics::Point point,
                                                 const std::shared_ptr<const Graphics::BitmapImage>& circle);
    // That mask for a width × height picture rendered to grey bytes, one per pixel; nullptr when the
    // size is empty. Renders on the calling thread and the shared pool.
    static std::shared_ptr<Graphics::Bitmap>
    circleMask(int width, int height, Graphics::Point point,
               const std::shared_ptr<const Graphics::BitmapImage>& circle);

private:
    ImageEngine::ImagePtr backgroundForSize(Graphics::Size size);

    mutable std::mutex m_mutex;
    // All guarded by m_mutex.
    double m_scale = 0;
    Graphics::Point m_point;
    std::map<std::pair<double, double>, ImageEngine::ImagePtr> m_cache;
};
