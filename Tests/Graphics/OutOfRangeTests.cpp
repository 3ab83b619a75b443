// Values outside their ranges through the Graphics entry points: decoders fed hostile files, image
// contexts and bitmap images fed NaN, infinities, zero and huge sizes. Each has a defined result.
#include "Graphics/PngChunks.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageContext.h>
#include <Graphics/ImageFile.h>
#include <Graphics/Path.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <zlib.h>

using namespace Graphics;
using namespace PngChunks;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<std::uint8_t> testFile(const std::string& name) {
    const char* data = std::getenv("RUX_TEST_DATA");
    std::ifstream stream(std::filesystem::path(data ? data : "Tests/Data") / "images" / name,
                         std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), {}};
}

// A 4 × 3 RGB PNG, value 200 everywhere, with the given chunks before its image data.
std::vector<std::uint8_t> pngWith(const std::function<void(std::vector<std::uint8_t>&)>& ancillary) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    put32(header, 4);
    put32(header, 3);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    putChunk(png, "IHDR", header);
    ancillary(png);
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < 3; ++y) {
        rows.push_back(0);
        rows.insert(rows.end(), 12, 200);
    }
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> idat(size);
    compress(idat.data(), &size, rows.data(), static_cast<uLong>(rows.size()));
    idat.resize(size);
    putChunk(png, "IDAT", idat);
    putChunk(png, "IEND", {});
    return png;
}

std::vector<std::uint8_t> deflated(const std::vector<std::uint8_t>& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> out(size);
    compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 9);
    out.resize(size);
    return out;
}

} // namespace

// The scan limit: a 6 KB progressive file of 190 valid scans is refused rather than decoded scan
// by scan, while an ordinary progressive file decodes.
TEST(DecoderHardening, ProgressiveJpegBeyondTheScanLimitIsRefused) {
    const auto ordinary = testFile("progressive.jpg");
    const auto manyScans = testFile("progressive-190-scans.jpg");
    ASSERT_FALSE(ordinary.empty());
    ASSERT_FALSE(manyScans.empty());
    EXPECT_TRUE(BitmapImage::createFromData(ordinary.data(), ordinary.size()));
    Foundation::LogCapture capture;
    EXPECT_EQ(BitmapImage::createFromData(manyScans.data(), manyScans.size()), nullptr);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_TRUE(capture.contains("scans"));
}

// The decoder's memory bound leaves room for what a real progressive file needs: jpegtran's lossless
// progressive copy of a 45 x 37 baseline file with 4 x 2 luma sampling (MCUs of 32 x 16, so its
// whole-picture coefficient buffers are padded both ways) decodes to exactly the baseline's pixels.
TEST(DecoderHardening, ProgressiveJpegDecodesLikeItsBaselineOriginal) {
    const auto baseline = testFile("sampling-4x2-baseline.jpg");
    const auto progressive = testFile("sampling-4x2-progressive.jpg");
    auto expected = BitmapImage::createFromData(baseline.data(), baseline.size());
    auto actual = BitmapImage::createFromData(progressive.data(), progressive.size());
    ASSERT_TRUE(expected && actual);
    const Bitmap &a = *expected->bitmap(), &b = *actual->bitmap();
    ASSERT_EQ(a.width(), 45);
    ASSERT_EQ(a.height(), 37);
    ASSERT_EQ(b.width(), a.width());
    ASSERT_EQ(b.height(), a.height());
    for (int y = 0; y < a.height(); ++y)
        ASSERT_TRUE(std::equal(a.row(y), a.row(y) + a.width() * 4, b.row(y))) << "row " << y;
}

// A progressive file cut anywhere after its header is a failure, never a picture with its lower
// part or its detail missing.
TEST(DecoderHardening, TruncatedProgressiveJpegFailsAtEveryCut) {
    const auto jpeg = testFile("progressive.jpg");
    ASSERT_GT(jpeg.size(), 200u);
    for (std::size_t cut = 200; cut + 2 < jpeg.size(); cut += 37) {
        Foundation::LogCapture capture;
        EXPECT_EQ(BitmapImage::createFromData(jpeg.data(), cut), nullptr) << "cut at " << cut;
        EXPECT_EQ(capture.lines().size(), 1u) << "cut at " << cut;
    }
}

// Ancillary chunks are skipped unread: what they claim or inflate to costs nothing, and the picture
// still decodes; a chunk claiming more than the file holds makes the file truncated.
TEST(DecoderHardening, AncillaryPngChunksAreBounded) {
    const std::vector<std::pair<const char*, std::function<void(std::vector<std::uint8_t>&)>>> decodable = {
        {"a thousand text chunks",
         [](auto& png) {
             for (int i = 0; i < 1000; ++i)
                 putChunk(png, "tEXt", {'k', 0, 'v'});
         }},
        {"a text chunk inflating to 64 MB",
         [](auto& png) {
             std::vector<std::uint8_t> data = {'k', 0, 0};
             const auto z = deflated(std::vector<std::uint8_t>(64u << 20, 'x'));
             data.insert(data.end(), z.begin(), z.end());
             putChunk(png, "zTXt", data);
         }},
        {"a colour profile inflating to 64 MB",
         [](auto& png) {
             std::vector<std::uint8_t> data = {'p', 0, 0};
             const auto z = deflated(std::vector<std::uint8_t>(64u << 20, 0));
             data.insert(data.end(), z.begin(), z.end());
             putChunk(png, "iCCP", data);
         }},
    };
    for (const auto& [name, chunks] : decodable) {
        const auto png = pngWith(chunks);
        auto image = BitmapImage::createFromData(png.data(), png.size());
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->bitmap()->row(2)[4 * 3], 200) << name;
    }
    const auto lying = pngWith([](auto& png) { putChunk(png, "tEXt", {'k', 0, 'v'}, 0x7FFFFFF0u); });
    Foundation::LogCapture capture;
    EXPECT_EQ(BitmapImage::createFromData(lying.data(), lying.size()), nullptr);
    EXPECT_EQ(capture.lines().size(), 1u);
}

// Size edge cases of a photo: a header of zero size is refused; one pixel decodes as one pixel.
TEST(DecoderHardening, ZeroSizeHeadersAreRefusedAndOnePixelDecodes) {
    auto one = Bitmap::create(1, 1);
    one->mutableRow(0)[0] = 255;
    one->mutableRow(0)[3] = 255;
    for (const auto& bytes : {*encodePNG(*one), *encodeJPEG(*one, 0.9)}) {
        auto image = BitmapImage::createFromData(bytes.data(), bytes.size());
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bitmap()->width(), 1);
        EXPECT_EQ(image->bitmap()->height(), 1);
    }
    auto png = *encodePNG(*one);
    // IHDR width to zero, CRC recomputed, so that only the size is wrong.
    png[16] = png[17] = png[18] = png[19] = 0;
    const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; ++i)
        png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    Foundation::LogCapture capture;
    EXPECT_EQ(BitmapImage::createFromData(png.data(), png.size()), nullptr);
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST(OutOfRange, BitmapImageScaleMustBePositiveAndFinite) {
    auto bitmap = Bitmap::create(2, 2);
    for (const double scale : {kNaN, kInf, -kInf, 0.0, -0.0, -1.0})
        EXPECT_EQ(BitmapImage::create(bitmap, scale), nullptr) << scale;
    for (const double scale : {1e-300, 1e300, 3.0}) {
        auto image = BitmapImage::create(bitmap, scale);
        ASSERT_TRUE(image) << scale;
        EXPECT_EQ(image->size().width, 2 / scale);
    }
    EXPECT_EQ(BitmapImage::create(nullptr, 1.0), nullptr);
}

TEST(OutOfRange, ImageContextRefusesSizesItCannotMake) {
    Foundation::LogCapture capture;
    const std::pair<Size, double> refused[] = {
        {{kNaN, 4}, 1.0}, {{4, kInf}, 1.0},  {{-4, 4}, 1.0},    {{0, 0}, 1.0},
        {{4, 4}, kNaN},   {{4, 4}, kInf},    {{4, 4}, -2.0},    {{1e12, 1}, 1.0},
        {{4, 4}, 1e300},  {{1e5, 1e5}, 1.0}, {{1e-12, 1}, 1.0},
    };
    for (const auto& [size, scale] : refused)
        EXPECT_EQ(ImageContext::create(size, Graphics::Opacity::Translucent, scale), nullptr)
            << size.width << " x " << size.height << " @ " << scale;
    EXPECT_EQ(capture.lines().size(), std::size(refused));
    // A fraction of a pixel rounds up to one.
    auto tiny = ImageContext::create({0.2, 0.2}, Graphics::Opacity::Translucent, 1.0);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->bitmap().width(), 1);
}

// A rectangle that cannot be drawn into leaves the context as it was; one partly outside is clipped.
TEST(OutOfRange, DrawingIntoUnusableRectsLeavesTheContextUnchanged) {
    auto bitmap = Bitmap::create(2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            bitmap->mutableRow(y)[4 * x] = bitmap->mutableRow(y)[4 * x + 3] = 255;
    auto image = BitmapImage::create(bitmap);
    const Rect unusable[] = {
        Rect(kNaN, 0, 4, 4),      Rect(0, 0, kInf, 4),
        Rect(0, 0, 0, 4),         Rect::null(),
        Rect::infinite(),         Rect(-1e300, -1e300, 2e300, 2e300),
        Rect(0, 0, 1e300, 1e300), Rect(1e200, 1e200, 1, 1),
        Rect(-10, -10, 5, 5),     Rect(0, 0, 1e-300, 4),
    };
    Foundation::LogCapture quiet;
    for (const Rect& rect : unusable) {
        auto context = ImageContext::create({4, 4}, Graphics::Opacity::Translucent, 2.0);
        context->drawImage(*image, rect);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(context->bitmap().row(y)[4 * x + 3], 0) << rect.origin.x << ", " << rect.size.width;
    }
    auto context = ImageContext::create({4, 4}, Graphics::Opacity::Translucent, 1.0);
    context->drawImage(*image, Rect(3, 3, 2, 2));
    EXPECT_EQ(context->bitmap().row(3)[4 * 3 + 3], 255);
    EXPECT_EQ(context->bitmap().row(2)[4 * 2 + 3], 0);
}

// Every drawing operation of a bitmap context with a value that breaks arithmetic: the bitmap stays
// a valid premultiplied picture and nothing undefined happens (the sanitizer builds would stop).
TEST(OutOfRange, BitmapContextDrawingWithUnusableValues) {
    auto photo = BitmapImage::create(Bitmap::create(3, 3));
    const std::function<void(BitmapContext&, double)> operations[] = {
        [](BitmapContext& c, double v) { c.fillRect(Rect(v, 0, 4, 4)); },
        [](BitmapContext& c, double v) { c.fillRect(Rect(0, 0, v, v)); },
        [](BitmapContext& c, double v) { c.clearRect(Rect(v, v, 4, v)); },
        [](BitmapContext& c, double v) {
            c.setLineWidth(v);
            c.strokeRect(Rect(1, 1, 5, 5));
        },
        [](BitmapContext& c, double v) {
            c.setLineDash(v, {v, 1});
            c.strokeRect(Rect(1, 1, 5, 5));
        },
        [](BitmapContext& c, double v) {
            c.scaleCTM(v, v);
            c.fillRect(Rect(0, 0, 2, 2));
        },
        [](BitmapContext& c, double v) {
            c.rotateCTM(v);
            c.fillRect(Rect(0, 0, 2, 2));
        },
        [](BitmapContext& c, double v) {
            c.clipToRect(Rect(0, 0, v, 3));
            c.fillRect(Rect(0, 0, 8, 8));
        },
        [](BitmapContext& c, double v) {
            Path path;
            path.addEllipseInRect(Rect(0, 0, v, 4));
            c.fillPath(path);
            c.strokePath(path);
        },
        [](BitmapContext& c, double v) {
            Path path;
            path.addArc({4, 4}, v, 0, v, ArcDirection::CounterClockwise);
            c.strokePath(path);
        },
        [](BitmapContext& c, double v) {
            Path path;
            path.addRoundedRect(Rect(1, 1, 6, 6), v);
            c.fillPath(path);
        },
        [](BitmapContext& c, double v) {
            c.beginPath();
            c.moveToPoint({v, 1});
            c.addLineToPoint({5, v});
            c.addLineToPoint({1, 5});
            c.closePath();
            c.fillPath(FillRule::EvenOdd);
        },
        [&photo](BitmapContext& c, double v) { c.drawImage(Rect(v, 0, 4, v), *photo); },
        [](BitmapContext& c, double v) {
            c.setAlpha(v);
            c.setFillColor({v, v, v, v});
            c.fillRect(Rect(0, 0, 8, 8));
        },
    };
    Foundation::LogCapture quiet;
    for (const double value : {kNaN, kInf, -kInf, 1e300, -1e300, 1e-300, 0.0}) {
        for (std::size_t i = 0; i < std::size(operations); ++i) {
            auto context = BitmapContext::create(8, 8);
            operations[i](*context, value);
            const Bitmap& bitmap = context->bitmap();
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    const std::uint8_t* p = bitmap.row(y) + 4 * x;
                    ASSERT_TRUE(p[0] <= p[3] && p[1] <= p[3] && p[2] <= p[3])
                        << "operation " << i << " with " << value;
                }
        }
    }
}
