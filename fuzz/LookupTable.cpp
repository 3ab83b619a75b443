#include "FuzzInput.h"
#include "Targets.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Context.h>
#include <ImageEngine/Filter.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXFilterLookupTable.h>
#include <memory>
#include <vector>

namespace RUXFuzz {

namespace {

constexpr std::uint64_t kTablePixelLimit = 1u << 18;

// A bitmap of the given shape whose bytes repeat the input's remaining bytes.
std::shared_ptr<Graphics::Bitmap> patternBitmap(Input& in, int width, int height,
                                                Graphics::PixelFormat format, Graphics::AlphaInfo alpha) {
    auto bitmap = Graphics::Bitmap::create(width, height, format, alpha);
    if (!bitmap)
        return nullptr;
    const std::uint8_t* pattern = in.current();
    const std::size_t length = in.remaining();
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bitmap->bytesPerPixel();
    std::size_t k = 0;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (std::size_t i = 0; i < rowBytes; ++i, ++k)
            row[i] = length ? pattern[k % length] : static_cast<std::uint8_t>(k);
        // Keep premultiplied pixels valid: colour never above alpha.
        if (format == Graphics::PixelFormat::RGBA8 && alpha == Graphics::AlphaInfo::PremultipliedLast)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    row[4 * x + c] = std::min(row[4 * x + c], row[4 * x + 3]);
    }
    return bitmap;
}

std::shared_ptr<Graphics::Bitmap> render(const ImageEngine::ImagePtr& image, const Graphics::Rect& rect) {
    static auto context = ImageEngine::Context::create();
    return context->createCGImage(image, rect);
}

ImageEngine::ImagePtr smallPhoto() {
    auto bitmap = Graphics::Bitmap::create(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(x * 60);
            p[1] = static_cast<std::uint8_t>(y * 120);
            p[2] = 200;
            p[3] = 255;
        }
    return ImageEngine::Image::createWithBitmap(bitmap);
}

} // namespace

int lookupTable(const std::uint8_t* data, std::size_t size) {
    Foundation::LogCapture quiet;
    const std::uint64_t savedLimit = Graphics::Bitmap::pixelLimit();
    Graphics::Bitmap::setPixelLimit(kTablePixelLimit);
    Input in(data, size);
    const std::uint8_t mode = in.byte();
    std::shared_ptr<const Graphics::BitmapImage> image;
    if (mode & 1) {
        // The table as a file, as the resource bundle holds it.
        image = Graphics::BitmapImage::createFromData(in.current(), in.remaining());
    } else {
        // Sizes near whole tiles are the interesting ones; the rest are any shape at all.
        auto side = [&in]() -> int {
            const std::uint8_t kind = in.byte();
            const int tiles = in.range(0, 40);
            return kind < 160 ? tiles * 33 + in.range(-1, 1) : in.range(-2, 2200);
        };
        const int width = side(), height = side();
        const auto format = mode & 2 ? Graphics::PixelFormat::Gray8 : Graphics::PixelFormat::RGBA8;
        const auto alpha =
            mode & 4 ? Graphics::AlphaInfo::NoneSkipLast : Graphics::AlphaInfo::PremultipliedLast;
        if (auto bitmap = patternBitmap(in, width, height, format, alpha))
            image = Graphics::BitmapImage::create(bitmap);
    }
    Graphics::Bitmap::setPixelLimit(savedLimit);

    ImageEngine::Data cube = RUXLookupTableDataFromImage(image);
    if (cube) {
        const auto& bitmap = *image->bitmap();
        // Only a grid of exactly 33 tiles of 33 × 33 is a table.
        RUX_FUZZ_CHECK(bitmap.width() % 33 == 0 && bitmap.height() % 33 == 0);
        RUX_FUZZ_CHECK((bitmap.width() / 33) * (bitmap.height() / 33) == 33);
        RUX_FUZZ_CHECK(cube->size() == kRUXLookupTableByteCount);
        const float* values = reinterpret_cast<const float*>(cube->data());
        for (std::size_t i = 0; i < kRUXLookupTableEntryCount * 4; ++i)
            RUX_FUZZ_CHECK(values[i] >= 0.0f && values[i] <= 1.0f);
    }
    RUXFilterLookupTable table;
    table.setData(cube);
    const ImageEngine::ImagePtr photo = smallPhoto();
    auto applied = table.resultFromImage(photo);
    RUX_FUZZ_CHECK(applied);
    auto bitmap = render(applied, Graphics::Rect(0, 0, 5, 3));
    RUX_FUZZ_CHECK(bitmap && bitmap->width() == 5 && bitmap->height() == 3);

    // The engine's colour cube itself, handed a dimension and data that may not agree.
    const int dimension = in.range(-1, 40);
    const std::size_t floats = in.byte() < 128 ? static_cast<std::size_t>(std::max(dimension, 0)) *
                                                     std::max(dimension, 0) * std::max(dimension, 0) * 4
                                               : in.range(0, 300000);
    auto odd = std::make_shared<std::vector<std::uint8_t>>(floats * sizeof(float) + in.range(0, 3));
    for (std::size_t i = 0; i < odd->size(); ++i)
        (*odd)[i] = static_cast<std::uint8_t>(i * 37);
    auto cubeResult = RUXFilterOutput(RUXFilterName::colorCubeWithColorSpace,
                                      {{RUXFilterKey::image, photo},
                                       {RUXFilterKey::cubeDimension, double(dimension)},
                                       {RUXFilterKey::cubeData, ImageEngine::Data(odd)},
                                       {RUXFilterKey::colorSpace, Graphics::ColorSpace::DeviceRGB}});
    if (cubeResult)
        render(cubeResult, Graphics::Rect(0, 0, 5, 3));
    return 0;
}

} // namespace RUXFuzz
