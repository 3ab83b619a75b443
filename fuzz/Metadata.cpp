#include "FuzzInput.h"
#include "Targets.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/PhotoMetadata.h>
#include <Graphics/PhotoOutput.h>

namespace RUXFuzz {

int photoMetadata(const std::uint8_t* data, std::size_t size) {
    Foundation::LogCapture quiet;
    auto metadata = Graphics::PhotoMetadata::createFromData(data, size);
    if (!metadata)
        return 0;
    (void)metadata->value("Exif.Image.Orientation");
    (void)metadata->value("Xmp.tiff.Orientation");
    // Whatever was read goes into a small edited copy of every format we write; the copy must still
    // open as that picture, upright.
    static const std::shared_ptr<Graphics::Bitmap> picture = [] {
        auto bitmap =
            Graphics::Bitmap::create(8, 6, Graphics::PixelFormat::RGBA8, Graphics::AlphaInfo::NoneSkipLast);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8 * 4; ++x)
                bitmap->mutableRow(y)[x] = static_cast<std::uint8_t>(x * 8 + y * 30);
        return bitmap;
    }();
    for (Graphics::ImageFileType type :
         {Graphics::ImageFileType::JPEG, Graphics::ImageFileType::PNG, Graphics::ImageFileType::WebP}) {
        const auto bytes = Graphics::encodePhoto(*picture, type, {80, metadata});
        RUX_FUZZ_CHECK(bytes);
        auto reopened = Graphics::BitmapImage::createFromData(bytes->data(), bytes->size());
        RUX_FUZZ_CHECK(reopened);
        RUX_FUZZ_CHECK(reopened->bitmap()->width() == 8 && reopened->bitmap()->height() == 6);
        RUX_FUZZ_CHECK(reopened->orientation() == Graphics::ImageOrientation::Up);
    }
    return 0;
}

} // namespace RUXFuzz
