#include "FuzzInput.h"
#include "Targets.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Context.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXImageMetadata.h>
#include <algorithm>
#include <cmath>

namespace RUXFuzz {

namespace {

constexpr std::uint64_t kOverlayPixelLimit = 1u << 18;

// An overlay look whose overlay is whatever the input describes.
class FuzzOverlayLook final : public RUXFilterWithOverlayBase {
public:
    explicit FuzzOverlayLook(ImageEngine::ImagePtr overlay) : m_overlay(std::move(overlay)) {}
    ImageEngine::ImagePtr overlayImage() const override { return m_overlay; }

private:
    ImageEngine::ImagePtr m_overlay;
};

std::shared_ptr<Graphics::Bitmap> bitmapFromInput(Input& in, int width, int height) {
    auto bitmap = Graphics::Bitmap::create(width, height);
    if (!bitmap)
        return nullptr;
    const std::uint8_t* pattern = in.current();
    const std::size_t length = in.remaining();
    std::size_t k = 0;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap->mutableRow(y);
        for (int x = 0; x < width; ++x, p += 4) {
            for (int c = 0; c < 4; ++c, ++k)
                p[c] = length ? pattern[k % length] : static_cast<std::uint8_t>(x * 9 + y * 5 + c);
            p[0] = std::min(p[0], p[3]);
            p[1] = std::min(p[1], p[3]);
            p[2] = std::min(p[2], p[3]);
        }
    }
    return bitmap;
}

} // namespace

int overlay(const std::uint8_t* data, std::size_t size) {
    Foundation::LogCapture quiet;
    Input in(data, size);
    const std::uint8_t mode = in.byte();
    const int photoWidth = in.range(1, 40), photoHeight = in.range(1, 40);
    auto photoBitmap = Graphics::Bitmap::create(photoWidth, photoHeight);
    for (int y = 0; y < photoHeight; ++y)
        std::fill(photoBitmap->mutableRow(y), photoBitmap->mutableRow(y) + 4 * photoWidth, 0x80);
    ImageEngine::ImagePtr photo = ImageEngine::Image::createWithBitmap(photoBitmap);
    if (mode & 2) {
        // A photo whose extent is off the origin or fractional, as a crop may leave it.
        const double s = 0.25 + in.byte() / 64.0;
        const double tx = in.range(-64, 64) / 8.0, ty = in.range(-64, 64) / 8.0;
        photo = photo->imageByApplyingTransform(Graphics::AffineTransform::concat(
            Graphics::AffineTransform::makeScale(s, s), Graphics::AffineTransform::makeTranslation(tx, ty)));
    }

    const std::uint64_t savedLimit = Graphics::Bitmap::pixelLimit();
    Graphics::Bitmap::setPixelLimit(kOverlayPixelLimit);
    ImageEngine::ImagePtr overlayImage;
    if (mode & 1) {
        if (auto decoded = Graphics::BitmapImage::createFromData(in.current(), in.remaining()))
            overlayImage = ImageEngine::Image::createWithBitmap(decoded->bitmap());
    } else {
        // Any shape: a line, a column, a huge strip, a single pixel.
        const int width = in.byte() < 200 ? in.range(1, 64) : in.range(1, 1 << 15);
        const int height = in.byte() < 200 ? in.range(1, 64) : in.range(1, 1 << 15);
        if (auto bitmap = bitmapFromInput(in, width, height))
            overlayImage = ImageEngine::Image::createWithBitmap(bitmap);
    }
    Graphics::Bitmap::setPixelLimit(savedLimit);

    FuzzOverlayLook look(overlayImage);
    RUXImageMetadata metadata;
    auto result = look.resultFromImage(photo, metadata);
    RUX_FUZZ_CHECK(result);
    const Graphics::Rect extent = photo->extent();
    // The overlay is scaled about the origin, where normalisation has put every photo a look sees;
    // there it covers the photo exactly (to the pixel), so the look does not change the picture's
    // size. A photo elsewhere is only rendered.
    if (extent.origin.x == 0 && extent.origin.y == 0)
        RUX_FUZZ_CHECK(RUXPixelRectForExtent(result->extent()).integral() ==
                       RUXPixelRectForExtent(extent).integral());
    static auto context = ImageEngine::Context::create();
    auto rendered = context->createCGImage(result, RUXPixelRectForExtent(extent));
    RUX_FUZZ_CHECK(rendered);
    const Graphics::Rect pixels = RUXPixelRectForExtent(extent).integral();
    RUX_FUZZ_CHECK(rendered->width() == static_cast<int>(pixels.width()) &&
                   rendered->height() == static_cast<int>(pixels.height()));
    return 0;
}

} // namespace RUXFuzz
