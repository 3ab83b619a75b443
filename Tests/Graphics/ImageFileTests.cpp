#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/ImageSource.h>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace Graphics;

namespace {

std::shared_ptr<Bitmap> gradient(int width, int height, bool withAlpha) {
    auto bitmap = Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            const int a = withAlpha ? (x * 255) / std::max(1, width - 1) : 255;
            p[0] = static_cast<std::uint8_t>((x * 37 + y * 11) % 256 * a / 255);
            p[1] = static_cast<std::uint8_t>((y * 53) % 256 * a / 255);
            p[2] = static_cast<std::uint8_t>((x * y) % 256 * a / 255);
            p[3] = static_cast<std::uint8_t>(a);
        }
    return bitmap;
}

// A smooth picture, so that JPEG's loss stays small and comparable.
std::shared_ptr<Bitmap> smooth(int width, int height) {
    auto bitmap = Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(x * 255 / width);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = 128;
            p[3] = 255;
        }
    return bitmap;
}

std::vector<std::uint8_t> withExifOrientation(std::vector<std::uint8_t> jpeg, int orientation) {
    // APP1 "Exif\0\0", little-endian TIFF header, one IFD entry: 0x0112 SHORT 1 = orientation.
    const auto o = static_cast<std::uint8_t>(orientation);
    std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                      0,   1,   0,  0, 0, o, 0, 0, 0, 0, 0,    0,    0};
    std::vector<std::uint8_t> payload = {'E', 'x', 'i', 'f', 0, 0};
    payload.insert(payload.end(), tiff.begin(), tiff.end());
    const std::size_t length = payload.size() + 2;
    std::vector<std::uint8_t> segment = {0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                                         static_cast<std::uint8_t>(length & 0xFF)};
    segment.insert(segment.end(), payload.begin(), payload.end());
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

void putBigEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

} // namespace

TEST(ImageFile, PngRoundTripIsExactForOpaqueAndTranslucentPixels) {
    for (bool alpha : {false, true}) {
        auto source = gradient(37, 23, alpha);
        auto bytes = encodePNG(*source);
        ASSERT_TRUE(bytes);
        auto image = BitmapImage::createFromData(bytes->data(), bytes->size());
        ASSERT_TRUE(image);
        const Bitmap& decoded = *image->bitmap();
        ASSERT_EQ(decoded.width(), 37);
        ASSERT_EQ(decoded.height(), 23);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                for (int c = 0; c < 4; ++c) {
                    const int expected = source->row(y)[x * 4 + c], actual = decoded.row(y)[x * 4 + c];
                    // Un-premultiplying and premultiplying again loses at most one level.
                    ASSERT_NEAR(actual, expected, alpha ? 1 : 0) << x << "," << y << " channel " << c;
                }
    }
}

TEST(ImageFile, JpegRoundTripStaysCloseAndHonoursExifOrientation) {
    auto source = smooth(64, 48);
    auto bytes = encodeJPEG(*source, 0.95);
    ASSERT_TRUE(bytes);
    auto image = BitmapImage::createFromData(bytes->data(), bytes->size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->orientation(), ImageOrientation::Up);
    double error = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                error += std::abs(image->bitmap()->row(y)[x * 4 + c] - source->row(y)[x * 4 + c]);
    EXPECT_LT(error / (64 * 48 * 3), 2.0);

    const std::pair<int, ImageOrientation> cases[] = {{1, ImageOrientation::Up},
                                                      {2, ImageOrientation::UpMirrored},
                                                      {3, ImageOrientation::Down},
                                                      {4, ImageOrientation::DownMirrored},
                                                      {5, ImageOrientation::LeftMirrored},
                                                      {6, ImageOrientation::Right},
                                                      {7, ImageOrientation::RightMirrored},
                                                      {8, ImageOrientation::Left}};
    for (auto [exif, orientation] : cases) {
        auto tagged = withExifOrientation(*bytes, exif);
        auto rotated = BitmapImage::createFromData(tagged.data(), tagged.size(), 2.0);
        ASSERT_TRUE(rotated) << exif;
        EXPECT_EQ(rotated->orientation(), orientation) << exif;
        const bool sideways = exif >= 5;
        EXPECT_EQ(rotated->size().width, (sideways ? 48 : 64) / 2.0) << exif;
        // Read lazily, the header alone gives the same.
        auto lazy = BitmapImage::createWithSource(makeImageSource(tagged), 2.0);
        ASSERT_TRUE(lazy) << exif;
        EXPECT_EQ(lazy->orientation(), orientation) << exif;
        EXPECT_EQ(lazy->size(), rotated->size()) << exif;
        EXPECT_FALSE(lazy->holdsFullBitmap());
    }
}

TEST(ImageFile, BadInputAnswersNilWithOneLine) {
    auto png = *encodePNG(*gradient(16, 16, false));
    auto jpeg = *encodeJPEG(*smooth(64, 64), 0.9);

    // A PNG claiming 100000 × 100000: IHDR rewritten with a valid CRC so that only the size is wrong.
    auto hugePng = png;
    putBigEndian32(hugePng, 16, 100000);
    putBigEndian32(hugePng, 20, 100000);
    putBigEndian32(hugePng, 29, static_cast<std::uint32_t>(crc32(0, hugePng.data() + 12, 17)));

    // A JPEG whose frame header claims 60000 × 60000.
    auto hugeJpeg = jpeg;
    for (std::size_t i = 2; i + 8 < hugeJpeg.size(); ++i)
        if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {
            hugeJpeg[i + 5] = 0xEA, hugeJpeg[i + 6] = 0x60, hugeJpeg[i + 7] = 0xEA, hugeJpeg[i + 8] = 0x60;
            break;
        }

    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"truncated png", std::vector<std::uint8_t>(png.begin(), png.begin() + static_cast<long>(png.size() / 2))},
        {"truncated jpeg", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() * 2 / 3))},
        {"corrupt png", [&] { auto b = png; b[40] ^= 0xFF; b[41] ^= 0xFF; return b; }()},
        {"not an image", std::vector<std::uint8_t>(100, 'x')},
        {"signature only", std::vector<std::uint8_t>(png.begin(), png.begin() + 8)},
        {"huge png header", hugePng},
        {"huge jpeg header", hugeJpeg},
    };
    for (const auto& [name, bytes] : cases) {
        Foundation::LogCapture capture;
        EXPECT_EQ(BitmapImage::createFromData(bytes.data(), bytes.size()), nullptr) << name;
        EXPECT_EQ(capture.lines().size(), 1u) << name;
    }
    Foundation::LogCapture capture;
    EXPECT_EQ(BitmapImage::createFromData(nullptr, 0), nullptr);
    EXPECT_EQ(BitmapImage::createFromFile("/nonexistent/photo.jpg"), nullptr);
}

TEST(ImageFile, WritesAtomicallyByExtensionAndLeavesNothingOnFailure) {
    const auto directory = std::filesystem::temp_directory_path() / "rux-image-file-test";
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    auto bitmap = gradient(8, 8, false);
    ASSERT_TRUE(writeImageFile(*bitmap, (directory / "a.png").string()));
    ASSERT_TRUE(writeImageFile(*bitmap, (directory / "b.JPG").string()));
    EXPECT_TRUE(BitmapImage::createFromFile((directory / "a.png").string()));
    EXPECT_TRUE(BitmapImage::createFromFile((directory / "b.JPG").string()));
    Foundation::LogCapture capture;
    EXPECT_FALSE(writeImageFile(*bitmap, (directory / "c.gif").string()));
    EXPECT_FALSE(writeImageFile(*bitmap, (directory / "missing" / "d.png").string()));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++files;
    EXPECT_EQ(files, 2u);
    std::filesystem::remove_all(directory);
}

TEST(Bitmap, CreateRefusesBadAndOversizedDimensions) {
    Foundation::LogCapture capture;
    EXPECT_EQ(Bitmap::create(0, 10), nullptr);
    EXPECT_EQ(Bitmap::create(10, -1), nullptr);
    EXPECT_EQ(Bitmap::create(100000, 100000), nullptr);
    EXPECT_EQ(Bitmap::create(1 << 30, 1 << 30), nullptr);
    auto small = Bitmap::create(3, 2, PixelFormat::Gray8);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->bytesPerRow() % 16, 0u);
    EXPECT_EQ(small->colorSpace(), ColorSpace::DeviceGray);
}
