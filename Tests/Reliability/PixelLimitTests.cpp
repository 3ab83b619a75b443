// A 20000 × 20000 photo, the largest the pixel limit lets through when the host raises it to
// exactly 400 megapixels: refused with one log line at the default limit and one pixel under,
// decoded and taken into the editor at the limit.
#include "Graphics/PngChunks.h"

#include <Foundation/Log.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Image.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
#include <zlib.h>

namespace {

using namespace PngChunks;

constexpr int kSide = 20000;

struct PixelLimit {
    explicit PixelLimit(std::uint64_t pixels) : saved(Graphics::Bitmap::pixelLimit()) {
        Graphics::Bitmap::setPixelLimit(pixels);
    }
    ~PixelLimit() { Graphics::Bitmap::setPixelLimit(saved); }
    std::uint64_t saved;
};

// An 8-bit grey PNG whose row y has the value y / 80 throughout, deflated row by row so that the
// 400 MB of samples never exist at once.
std::vector<std::uint8_t> greyRampPng(int side) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    put32(header, static_cast<std::uint32_t>(side));
    put32(header, static_cast<std::uint32_t>(side));
    header.insert(header.end(), {8, 0, 0, 0, 0});
    putChunk(png, "IHDR", header);

    z_stream stream{};
    EXPECT_EQ(deflateInit(&stream, 1), Z_OK);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(side) + 1), idat, buffer(1 << 16);
    for (int y = 0; y < side; ++y) {
        row[0] = 0;
        std::memset(row.data() + 1, y / 80, static_cast<std::size_t>(side));
        stream.next_in = row.data();
        stream.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == side ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = buffer.data();
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            idat.insert(idat.end(), buffer.data(), buffer.data() + (buffer.size() - stream.avail_out));
        } while (stream.avail_out == 0 || (flush == Z_FINISH && stream.avail_in > 0));
    }
    deflateEnd(&stream);
    putChunk(png, "IDAT", idat);
    putChunk(png, "IEND", {});
    return png;
}

TEST(PixelLimit, TwentyThousandSquaredIsRefusedUnderTheLimitAndEditedAtIt) {
    const std::vector<std::uint8_t> png = greyRampPng(kSide);
    const std::uint64_t pixels = static_cast<std::uint64_t>(kSide) * kSide;
    {
        // The default limit (100 megapixels) and one pixel short: refused from the header alone.
        for (const std::uint64_t limit : {Graphics::Bitmap::pixelLimit(), pixels - 1}) {
            PixelLimit scope(limit);
            Foundation::LogCapture capture;
            EXPECT_EQ(Graphics::BitmapImage::createFromData(png.data(), png.size()), nullptr);
            EXPECT_EQ(capture.lines().size(), 1u);
        }
    }
    PixelLimit scope(pixels);
    auto photo = Graphics::BitmapImage::createFromData(png.data(), png.size());
    ASSERT_TRUE(photo);
    ASSERT_EQ(photo->bitmap()->width(), kSide);
    ASSERT_EQ(photo->bitmap()->height(), kSide);
    EXPECT_EQ(photo->bitmap()->row(kSide - 1)[4 * (kSide - 1)], (kSide - 1) / 80);

    // The editor's three copies come down from it; the full one keeps the ramp top to bottom.
    auto manager = RUXEditManager::create(photo);
    ASSERT_TRUE(manager->thumbnailImage() && manager->lowResImage() && manager->fullImage());
    const double scale = Graphics::mainScreenScale();
    EXPECT_EQ(manager->fullImage()->extent(), Graphics::Rect(0, 0, 1024 * scale, 1024 * scale));
    auto renderer = RUXImageRenderer::create();
    auto saved = renderer->renderedImage(manager->resultantImage());
    ASSERT_TRUE(saved);
    const auto& bitmap = *saved->bitmap();
    EXPECT_NEAR(bitmap.row(0)[0], 0, 1);
    EXPECT_NEAR(bitmap.row(bitmap.height() - 1)[0], (kSide - 1) / 80, 2);
}

} // namespace
