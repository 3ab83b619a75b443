#include "ImageEngine/Support.h"

#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::AffineTransform;
using Graphics::Rect;

namespace {

// A recipe with every kind of node: exact and resampling affines, crops, a shared colour chain
// feeding a clamped blur and a masked blend, an overlay.
ImagePtr focusChain(int w, int h) {
    auto source = imageOf(patternBitmap(w, h));
    auto turned = source->imageByApplyingTransform(AffineTransform::makeRotation(-M_PI / 2));
    auto normal = turned->imageByApplyingTransform(AffineTransform::makeTranslation(0, w));
    auto colour = apply("CIExposureAdjust", {{"inputImage", normal}, {"inputEV", 0.4}});
    colour = apply("CIColorControls", {{"inputImage", colour}, {"inputSaturation", 1.3}});
    colour = apply("CIGammaAdjust", {{"inputPower", 1.4}, {"inputImage", colour}});
    auto vignette =
        imageOf(patternBitmap(7, 5))->imageByApplyingTransform(AffineTransform::makeScale(h / 7.0, w / 5.0));
    colour = apply("CIOverlayBlendMode", {{"inputImage", vignette}, {"inputBackgroundImage", colour}});
    auto clamp =
        apply("CIAffineClamp", {{"inputImage", colour}, {"inputTransform", AffineTransform::identity()}});
    auto blur = apply("CIGaussianBlur", {{"inputImage", clamp}, {"inputRadius", 2.5}})
                    ->imageByCroppingToRect(colour->extent());
    auto mask = apply("CIRadialGradient", {{"inputCenter", Vector::make(h / 2.0, w / 2.0)},
                                           {"inputRadius0", w / 6.0},
                                           {"inputRadius1", w / 3.0},
                                           {"inputColor0", Color{0, 1, 0, 1}},
                                           {"inputColor1", Color{0, 1, 0, 0}}})
                    ->imageByCroppingToRect(colour->extent());
    return apply("CIBlendWithMask",
                 {{"inputImage", colour}, {"inputBackgroundImage", blur}, {"inputMaskImage", mask}});
}

// Turns on tiles (a quarter turn carrying a rounding residue, copied in bands of rows), then a
// rotation and a shear, resampled by the vector path.
ImagePtr turnedAndRotated(int w, int h) {
    const double c = std::cos(-1.5707963267948966), s = std::sin(-1.5707963267948966);
    auto image = apply("CIExposureAdjust", {{"inputImage", imageOf(patternBitmap(w, h))}, {"inputEV", 0.2}});
    image = image->imageByApplyingTransform({c, s, -s, c, 0, 0});
    image = image->imageByApplyingTransform(AffineTransform::makeRotation(0.4).translated(3.5, -2));
    return image->imageByApplyingTransform({1, 0.2, -0.3, 1, 0, 0});
}

TEST(Render, SameBytesForAnyTilingAndThreadCount) {
    EXPECT_EQ(focusChain(61, 47)->extent(), Rect(0, 0, 47, 61));
    for (const ImagePtr& image : {focusChain(61, 47), turnedAndRotated(53, 37)}) {
        ASSERT_TRUE(image);
        const Rect rect = image->extent().integral();
        auto reference = render(image, rect, {.tileWidth = 512, .tileHeight = 512, .maxThreads = 1});
        ASSERT_TRUE(reference);
        const Context::RenderOptions variants[] = {{.tileWidth = 16, .tileHeight = 16, .maxThreads = 1},
                                                   {.tileWidth = 7, .tileHeight = 13, .maxThreads = 2},
                                                   {.tileWidth = 32, .tileHeight = 5, .maxThreads = 3},
                                                   {.tileWidth = 9, .tileHeight = 64, .maxThreads = 8},
                                                   {}};
        for (const auto& options : variants) {
            auto bitmap = render(image, rect, options);
            EXPECT_EQ(bytesOf(*bitmap), bytesOf(*reference))
                << options.tileWidth << "x" << options.tileHeight << " on " << options.maxThreads;
        }
    }
}

TEST(Render, SubRectangleMatchesThatRegionOfTheWholeRender) {
    auto image = focusChain(40, 30);
    auto whole = render(image, image->extent());
    // Rect (5, 7, 12, 9) of a 30 × 40 extent: memory rows 40 − 16 … 40 − 8.
    auto part = render(image, Rect(5, 7, 12, 9), {.tileWidth = 5, .tileHeight = 4, .maxThreads = 2});
    ASSERT_EQ(part->width(), 12);
    ASSERT_EQ(part->height(), 9);
    for (int row = 0; row < 9; ++row)
        for (int x = 0; x < 12; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(pixel(*part, x, row)[c], pixel(*whole, x + 5, 40 - 16 + row)[c]) << x << "," << row;
    // A fractional rect is rounded outward.
    auto rounded = render(image, Rect(5.5, 7.2, 11.1, 8.1));
    EXPECT_EQ(bytesOf(*rounded), bytesOf(*part));
}

TEST(Render, EmptyAndInfiniteRectsAnswerNil) {
    auto image = imageOf(patternBitmap(4, 4));
    auto context = Context::create();
    EXPECT_FALSE(context->createCGImage(image, Rect(0, 0, 0, 4)));
    EXPECT_FALSE(context->createCGImage(image, Rect::null()));
    EXPECT_FALSE(context->createCGImage(image, Rect::infinite()));
    // Outside the extent the picture is transparent black.
    auto outside = context->createCGImage(image, Rect(10, 10, 2, 2));
    ASSERT_TRUE(outside);
    EXPECT_EQ(bytesOf(*outside), std::vector<std::uint8_t>(16, 0));
}

TEST(Render, FourQuarterTurnsAndTwoFlipsGiveTheOriginalBack) {
    auto bitmap = patternBitmap(9, 6);
    auto image = imageOf(bitmap);
    auto original = bytesOf(*bitmap);
    EXPECT_EQ(bytesOf(*render(image, image->extent())), original);
    auto turned = image;
    for (int i = 0; i < 4; ++i) {
        turned = turned->imageByApplyingTransform(AffineTransform::makeRotation(M_PI / 2));
        if (i == 0) {
            EXPECT_EQ(turned->extent(), Rect(-6, 0, 6, 9));
            // A quarter turn copies pixels: the top-left pixel of the turn is the original's top-right.
            auto once = render(turned, turned->extent());
            EXPECT_EQ(std::vector<std::uint8_t>(pixel(*once, 0, 0), pixel(*once, 0, 0) + 4),
                      std::vector<std::uint8_t>(pixel(*bitmap, 8, 0), pixel(*bitmap, 8, 0) + 4));
        }
    }
    EXPECT_EQ(bytesOf(*render(turned, turned->extent())), original);
    auto flipped = image;
    for (int i = 0; i < 4; ++i)
        flipped = flipped->imageByApplyingTransform(i % 2 ? AffineTransform::makeScale(1, -1)
                                                          : AffineTransform::makeScale(-1, 1));
    flipped = flipped->imageByApplyingTransform(AffineTransform::identity());
    EXPECT_EQ(bytesOf(*render(flipped, flipped->extent())), original);
}

void checkGeometryReadFromBitmap(const std::shared_ptr<Graphics::Bitmap>& bitmap);

// Turns, mirrors, whole-pixel moves and crops of a bitmap are read straight from the bitmap (and a
// render of nothing but that read copies the bitmap's bytes, decoding and encoding only rows with
// translucent pixels); after any other step they copy tiles. Both ways must give the same bytes and
// extents, for an opaque bitmap and one with a translucent column and one translucent pixel.
TEST(Render, GeometryReadFromTheBitmapMatchesGeometryOnTiles) {
    auto translucent = patternBitmap(11, 7);
    for (int y = 0; y < 7; ++y) {
        for (int x : {10, y == 3 ? 5 : 10}) {
            std::uint8_t* p = translucent->mutableRow(y) + x * 4;
            p[3] = static_cast<std::uint8_t>(90 + 20 * y);
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(p[c] * p[3] / 255);
        }
    }
    for (const auto& bitmap : {patternBitmap(11, 7), translucent})
        checkGeometryReadFromBitmap(bitmap);
}

void checkGeometryReadFromBitmap(const std::shared_ptr<Graphics::Bitmap>& bitmap) {
    auto direct = imageOf(bitmap);
    // Exposure 0 changes no value but is not a bitmap, so the steps after it run on tiles.
    auto tiled = apply("CIExposureAdjust", {{"inputImage", direct}, {"inputEV", 0.0}});
    using T = AffineTransform;
    const std::vector<std::function<ImagePtr(ImagePtr)>> steps = {
        [](ImagePtr i) { return i->imageByApplyingTransform(T::makeRotation(-M_PI / 2)); },
        [](ImagePtr i) { return i->imageByApplyingTransform(T::makeRotation(M_PI)); },
        [](ImagePtr i) { return i->imageByApplyingTransform(T::makeScale(-1, 1).translated(3, -2)); },
        [](ImagePtr i) { return i->imageByCroppingToRect(Rect(-2, 0, 5, 6)); },
        [](ImagePtr i) { return i->imageByApplyingTransform(T::makeScale(1, -1)); },
        [](ImagePtr i) { return i->imageByCroppingToRect(Rect(-2.5, -6, 9, 4)); },
        [](ImagePtr i) { return i->imageByApplyingTransform(T::makeTranslation(4, 9)); },
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        direct = steps[i](direct);
        tiled = steps[i](tiled);
        ASSERT_EQ(direct->extent(), tiled->extent()) << "after step " << i;
        ASSERT_FALSE(direct->extent().isEmpty()) << "after step " << i;
        Rect around = direct->extent().insetBy(-2, -2);
        auto fromBitmap = render(direct, around, {.tileWidth = 4, .tileHeight = 3});
        auto fromTiles = render(tiled, around, {.tileWidth = 5, .tileHeight = 2});
        ASSERT_TRUE(fromBitmap && fromTiles);
        EXPECT_EQ(bytesOf(*fromBitmap), bytesOf(*fromTiles)) << "after step " << i;
    }
}

TEST(Render, ConcurrentRendersOnOneContextAgree) {
    auto image = focusChain(50, 40);
    auto context = Context::create();
    auto reference = bytesOf(*context->createCGImage(image, image->extent()));
    std::vector<std::vector<std::uint8_t>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&] { result = bytesOf(*context->createCGImage(image, image->extent())); });
    for (auto& thread : threads)
        thread.join();
    for (const auto& result : results)
        EXPECT_EQ(result, reference);
}

TEST(Render, TranslucentPixelsRoundTrip) {
    auto image = imageOf(solidBitmap(3, 3, 60, 20, 100, 128));
    auto bitmap = render(image, image->extent());
    EXPECT_NEAR(pixel(*bitmap, 1, 1)[0], 60, 1);
    EXPECT_NEAR(pixel(*bitmap, 1, 1)[1], 20, 1);
    EXPECT_NEAR(pixel(*bitmap, 1, 1)[2], 100, 1);
    EXPECT_EQ(pixel(*bitmap, 1, 1)[3], 128);
}

} // namespace
