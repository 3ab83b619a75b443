#include <Foundation/Dispatch.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/ImageSource.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <iterator>
#include <latch>
#include <unistd.h>

using namespace Graphics;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Soft shapes, a fine ripple and one hard edge: what a photo has, and smooth enough for JPEG's loss
// to stay small.
std::shared_ptr<Bitmap> scene(int width, int height) {
    auto bitmap = Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            const double ripple = 18 * std::sin(x * 0.21) * std::cos(y * 0.17);
            const bool inside = x > width / 3 && x < width / 2 && y > height / 4 && y < height / 2;
            p[0] = static_cast<std::uint8_t>(std::clamp(60 + 140.0 * x / width + ripple, 0.0, 255.0));
            p[1] = static_cast<std::uint8_t>(std::clamp(40 + 160.0 * y / height - ripple, 0.0, 255.0));
            p[2] = inside ? 230 : 70;
            p[3] = 255;
        }
    return bitmap;
}

Bytes jpegOf(const Bitmap& bitmap) {
    return *encodeJPEG(bitmap, 0.92);
}

Bytes webpOf(const Bitmap& bitmap) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("rux-image-source-" + std::to_string(::getpid()) + ".webp"))
                                 .string();
    EXPECT_TRUE(writeImageFile(bitmap, path, 0.9));
    std::ifstream file(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return bytes;
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), static_cast<std::size_t>(a.width()) * 4) != 0)
            return false;
    return true;
}

} // namespace

// JPEG scales by M/8 in its inverse DCT: the smallest M whose picture covers the request, the whole
// picture for no request or one beyond it, and at full size the very pixels of the plain decode.
TEST(ImageSource, JpegDecodesTheSmallestEighthThatCovers) {
    const Bytes jpeg = jpegOf(*scene(800, 600));
    auto source = makeImageSource(jpeg);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->width(), 800);
    EXPECT_EQ(source->height(), 600);
    struct Case {
        int minWidth, minHeight, width, height;
    };
    for (const Case& c :
         {Case{100, 75, 100, 75}, Case{101, 10, 200, 150}, Case{10, 76, 200, 150}, Case{301, 200, 400, 300},
          Case{701, 0, 800, 600}, Case{0, 0, 800, 600}, Case{5000, 5000, 800, 600}}) {
        auto bitmap = source->decodeCovering(c.minWidth, c.minHeight);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width(), c.width) << c.minWidth << " x " << c.minHeight;
        EXPECT_EQ(bitmap->height(), c.height) << c.minWidth << " x " << c.minHeight;
    }
    auto plain = BitmapImage::createFromData(jpeg.data(), jpeg.size());
    EXPECT_TRUE(samePixels(*source->decodeCovering(0, 0), *plain->bitmap()));
}

// WebP scales to any size: exactly what covers, aspect ratio kept.
TEST(ImageSource, WebpDecodesToTheSizeThatCovers) {
    const Bytes webp = webpOf(*scene(800, 600));
    auto source = makeImageSource(webp);
    ASSERT_TRUE(source);
    auto reduced = source->decodeCovering(300, 100);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->width(), 300);
    EXPECT_EQ(reduced->height(), 225);
    auto plain = BitmapImage::createFromData(webp.data(), webp.size());
    EXPECT_TRUE(samePixels(*source->decodeCovering(0, 0), *plain->bitmap()));
}

// A lazily decoded picture knows its size and orientation from the header alone, decodes the full
// picture once however many threads ask at the same time, and hands out smaller decodes without
// keeping them.
TEST(ImageSource, LazyPictureDecodesOnFirstUseOnce) {
    auto bitmap = scene(640, 480);
    const Bytes jpeg = jpegOf(*bitmap);
    auto image = BitmapImage::createWithSource(makeImageSource(jpeg), 2.0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), Size(320, 240));
    EXPECT_FALSE(image->holdsFullBitmap());
    auto small = image->bitmapCovering(160, 120);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 160);
    EXPECT_FALSE(image->holdsFullBitmap());

    constexpr int kThreads = 4;
    std::latch start(kThreads);
    std::vector<std::future<const Bitmap*>> results;
    for (int i = 0; i < kThreads; ++i)
        results.push_back(std::async(std::launch::async, [&] {
            start.arrive_and_wait();
            return image->bitmap().get();
        }));
    const Bitmap* first = results[0].get();
    ASSERT_TRUE(first);
    for (int i = 1; i < kThreads; ++i)
        EXPECT_EQ(results[static_cast<std::size_t>(i)].get(), first);
    EXPECT_TRUE(image->holdsFullBitmap());
    EXPECT_EQ(first->width(), 640);
    // Once held, the full picture is what every request gets.
    EXPECT_EQ(image->bitmapCovering(10, 10).get(), first);
}

// Only the header is read up front: pixels that turn out truncated answer nullptr on use, and data
// no source decodes lazily is refused (a lazily opened PNG is decoded at once).
TEST(ImageSource, BadPixelsAnswerNothingOnUse) {
    Bytes jpeg = jpegOf(*scene(320, 240));
    jpeg.resize(jpeg.size() / 2);
    auto image = BitmapImage::createWithSource(makeImageSource(jpeg));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitmapCovering(40, 30), nullptr);
    EXPECT_EQ(image->bitmap(), nullptr);
    EXPECT_EQ(image->bitmapCovering(40, 30), nullptr);
    EXPECT_EQ(makeImageSource(Bytes{0xFF, 0xD8, 0xFF, 0xE0}), nullptr);
    EXPECT_EQ(makeImageSource(*encodePNG(*scene(8, 8))), nullptr);
    EXPECT_EQ(BitmapImage::createWithSource(nullptr), nullptr);

    const std::string path =
        (std::filesystem::temp_directory_path() / ("rux-image-source-" + std::to_string(::getpid()) + ".png"))
            .string();
    ASSERT_TRUE(writeImageFile(*scene(8, 8), path));
    auto png = BitmapImage::createFromFileLazily(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->holdsFullBitmap());
    EXPECT_EQ(BitmapImage::createFromFileLazily(path), nullptr);
}
