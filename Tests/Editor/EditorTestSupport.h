#pragma once

#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Context.h>
#include <ImageEngine/Image.h>
#include <Manager/RUXImageRenderer.h>
#include <Support/GlobalStateGuards.h>
#include <Support/ScreenScaleGuard.h>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace EditorTest {

using Rgba = std::array<std::uint8_t, 4>;

// An opaque bitmap whose pixel (x, y), y counted from the top row, is colour(x, y).
inline std::shared_ptr<Graphics::Bitmap> makeBitmap(int w, int h,
                                                    const std::function<Rgba(int, int)>& colour) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Rgba c = colour(x, y);
            std::copy(c.begin(), c.end(), bitmap->mutableRow(y) + 4 * x);
        }
    }
    return bitmap;
}

inline std::shared_ptr<Graphics::BitmapImage> makePhoto(int w, int h, double scale = 1.0) {
    return Graphics::BitmapImage::create(
        makeBitmap(w, h,
                   [](int x, int y) {
                       return Rgba{std::uint8_t(x * 7), std::uint8_t(y * 5), 90, 255};
                   }),
        scale);
}

inline ImageEngine::ImagePtr makeImage(int w, int h, const std::function<Rgba(int, int)>& colour) {
    return ImageEngine::Image::createWithBitmap(makeBitmap(w, h, colour));
}

inline ImageEngine::ImagePtr solidImage(int w, int h, Rgba colour) {
    return makeImage(w, h, [colour](int, int) { return colour; });
}

// Renders an image over its extent.
inline std::shared_ptr<Graphics::Bitmap> render(const ImageEngine::ImagePtr& image) {
    static auto context = ImageEngine::Context::create();
    return image ? context->createCGImage(image, RUXPixelRectForExtent(image->extent())) : nullptr;
}

// The pixel at (x, y) from the top-left of a rendered bitmap.
inline Rgba pixel(const Graphics::Bitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.row(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

inline int maxDifference(Rgba a, Rgba b) {
    int d = 0;
    for (int i = 0; i < 4; ++i) {
        d = std::max(d, std::abs(int(a[i]) - int(b[i])));
    }
    return d;
}

// Each side of a rectangle within tolerance of the expected one.
inline void expectRectNear(const Graphics::Rect& actual, const Graphics::Rect& expected, double tolerance) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance) << "x";
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance) << "y";
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance) << "width";
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance) << "height";
}

using ScreenScale = TestSupport::MainScreenScale;

// Whether two bitmaps have the same size and bytes.
inline bool sameBytes(const Graphics::Bitmap& a, const Graphics::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.row(y), b.row(y), std::size_t(a.width()) * 4) != 0) {
            return false;
        }
    }
    return true;
}

// A fresh renderer's bitmap of a formula; nullptr when nothing rendered.
inline std::shared_ptr<const Graphics::Bitmap> renderFormula(const RUXRenderFormulaPtr& formula) {
    auto image = RUXImageRenderer::create()->renderedImage(formula);
    return image ? image->bitmap() : nullptr;
}

} // namespace EditorTest
