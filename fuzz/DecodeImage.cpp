#include "FuzzInput.h"
#include "Targets.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageContext.h>

namespace RUXFuzz {

namespace {

// Small enough that the fuzzer's allocation limit catches any buffer sized from a header before
// the header was checked against it.
constexpr std::uint64_t kDecodePixelLimit = 1u << 20;

struct PixelLimit {
    explicit PixelLimit(std::uint64_t pixels) : saved(Graphics::Bitmap::pixelLimit()) {
        Graphics::Bitmap::setPixelLimit(pixels);
    }
    ~PixelLimit() { Graphics::Bitmap::setPixelLimit(saved); }
    std::uint64_t saved;
};

} // namespace

int decodeImage(const std::uint8_t* data, std::size_t size) {
    Foundation::LogCapture quiet;
    PixelLimit limit(kDecodePixelLimit);
    auto image = Graphics::BitmapImage::createFromData(data, size, 1.0);
    if (!image)
        return 0;
    const auto& bitmap = image->bitmap();
    RUX_FUZZ_CHECK(bitmap);
    RUX_FUZZ_CHECK(bitmap->width() > 0 && bitmap->height() > 0);
    RUX_FUZZ_CHECK(static_cast<std::uint64_t>(bitmap->width()) * bitmap->height() <= kDecodePixelLimit);
    RUX_FUZZ_CHECK(bitmap->format() == Graphics::PixelFormat::RGBA8);
    // Premultiplied colour never exceeds its alpha.
    if (bitmap->alphaInfo() == Graphics::AlphaInfo::PremultipliedLast) {
        for (int y = 0; y < bitmap->height(); ++y) {
            const std::uint8_t* p = bitmap->row(y);
            for (int x = 0; x < bitmap->width(); ++x, p += 4)
                RUX_FUZZ_CHECK(p[0] <= p[3] && p[1] <= p[3] && p[2] <= p[3]);
        }
    }
    // Drawing turns the picture upright and resamples it, as the editor does with a host's photo.
    auto context = Graphics::ImageContext::create({7, 5}, Graphics::Opacity::Translucent, 1.0);
    RUX_FUZZ_CHECK(context);
    context->drawImage(*image, Graphics::Rect(0, 0, 7, 5));
    auto drawn = context->makeImage();
    RUX_FUZZ_CHECK(drawn && drawn->bitmap()->width() == 7 && drawn->bitmap()->height() == 5);
    return 0;
}

} // namespace RUXFuzz
