// The bundle as the editor itself reads it: decoded by the graphics layer, every file must give the pixels
// the generator wrote. A decoder that applied a gamma, dropped alpha or flipped rows would shift every look.
#include "PngFile.h"

#include <Graphics/BitmapImage.h>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

const std::filesystem::path kResourceFolder = RUX_RESOURCES_DIR;

TEST(PlatformDecode, ReadsEveryResourceAsWritten) {
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kResourceFolder)) {
        if (entry.path().extension() != ".png")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++files;
        const auto expected = ResourceArt::readPng(entry.path().string());
        const auto image = Graphics::BitmapImage::createFromFile(entry.path().string());
        ASSERT_TRUE(expected);
        ASSERT_TRUE(image);
        const auto& bitmap = *image->bitmap();
        ASSERT_EQ(bitmap.width(), expected->width);
        ASSERT_EQ(bitmap.height(), expected->height);
        ASSERT_EQ(bitmap.format(), Graphics::PixelFormat::RGBA8);
        int worst = 0;
        for (int y = 0; y < bitmap.height(); ++y) {
            for (int x = 0; x < bitmap.width(); ++x) {
                const std::uint8_t* got = bitmap.row(y) + x * 4;
                const std::uint8_t* want = expected->pixel(x, y);
                const bool premultiplied = bitmap.alphaInfo() == Graphics::AlphaInfo::PremultipliedLast;
                for (int c = 0; c < 3; ++c) {
                    // Premultiplied storage rounds the colour of translucent icon edges.
                    const int w = premultiplied ? (want[c] * want[3] + 127) / 255 : want[c];
                    worst = std::max(worst, std::abs(got[c] - w));
                }
                if (premultiplied)
                    worst = std::max(worst, std::abs(got[3] - want[3]));
            }
        }
        EXPECT_LE(worst, 1);
    }
    EXPECT_GT(files, 100);
}

} // namespace
