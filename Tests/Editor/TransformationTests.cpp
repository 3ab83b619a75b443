#include "EditorTestSupport.h"

#include <Foundation/Log.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace EditorTest;

namespace {

// ---- Rotate: the matrix after a sequence of requests, and where a point lands -----------------

struct RotateCase {
    const char* sequence; // c = clockwise, a = counter-clockwise, h / v = flips
    Graphics::Point mapsOneTwoTo;
    int flipDirection;
    int rotateDirection;
};

class RotateSequence : public testing::TestWithParam<RotateCase> {};

void apply(RUXRotateTransformation& rotate, const std::string& sequence) {
    using R = RUXRotateTransformation;
    for (char step : sequence)
        (rotate.*(step == 'c'   ? &R::rotateClockwise90Degrees
                  : step == 'a' ? &R::rotateCounterClockwise90Degrees
                  : step == 'h' ? &R::flipHorizontal
                                : &R::flipVertical))();
}

TEST_P(RotateSequence, MatrixAndSigns) {
    const RotateCase& c = GetParam();
    RUXRotateTransformation rotate;
    apply(rotate, c.sequence);
    Graphics::Point p = rotate.transformMatrix().applyToPoint({1, 2});
    EXPECT_NEAR(p.x, c.mapsOneTwoTo.x, 1e-12) << c.sequence;
    EXPECT_NEAR(p.y, c.mapsOneTwoTo.y, 1e-12) << c.sequence;
    EXPECT_EQ(rotate.flipDirection(), c.flipDirection);
    EXPECT_EQ(rotate.rotateDirection(), c.rotateDirection);
    EXPECT_EQ(rotate.transformMatrix().tx, 0);
    EXPECT_EQ(rotate.transformMatrix().ty, 0);

    // A copy continues in the same on-screen direction as its source.
    auto copy = std::static_pointer_cast<RUXRotateTransformation>(rotate.copy());
    copy->rotateClockwise90Degrees();
    rotate.rotateClockwise90Degrees();
    EXPECT_EQ(copy->transformMatrix(), rotate.transformMatrix());
}

INSTANTIATE_TEST_SUITE_P(
    Rotate, RotateSequence,
    testing::Values(RotateCase{"", {1, 2}, 1, 1},
                    // Clockwise: (x, y) → (y, −x).
                    RotateCase{"c", {2, -1}, -1, 1},
                    // Then a horizontal flip of the displayed picture: (x, y) → (−y, −x).
                    RotateCase{"ch", {-2, -1}, -1, -1},
                    // And clockwise again turns the displayed picture clockwise: +π/2 at the source.
                    RotateCase{"chc", {-1, 2}, 1, -1}, RotateCase{"cccc", {1, 2}, 1, 1},
                    RotateCase{"hh", {1, 2}, 1, 1}, RotateCase{"v", {1, -2}, 1, -1},
                    RotateCase{"a", {-2, 1}, -1, 1}, RotateCase{"ca", {1, 2}, 1, 1}));

TEST(Rotate, QuarterTurnKeepsThePlatformResidue) {
    RUXRotateTransformation rotate;
    rotate.rotateClockwise90Degrees();
    // The off-axis entries carry cos(π/2) rather than an exact zero, as the platform's do.
    EXPECT_NE(rotate.transformMatrix().a, 0);
    EXPECT_NEAR(rotate.transformMatrix().a, 0, 1e-16);
    EXPECT_EQ(rotate.transformMatrix().b, -1);
}

TEST(Rotate, ResultMovesTheExtentAndReplacesTheRecordedMatrix) {
    RUXRotateTransformation rotate;
    rotate.rotateClockwise90Degrees();
    RUXImageMetadata metadata;
    metadata.setAppliedAffineTransform(Graphics::AffineTransform::makeScale(3, 3));
    auto result = rotate.resultFromImage(solidImage(6, 4, {1, 2, 3, 255}), metadata);
    ASSERT_TRUE(result);
    Graphics::Rect e = result->extent();
    EXPECT_NEAR(e.origin.x, 0, 1e-9);
    EXPECT_NEAR(e.origin.y, -6, 1e-9);
    EXPECT_NEAR(e.width(), 4, 1e-9);
    EXPECT_NEAR(e.height(), 6, 1e-9);
    EXPECT_EQ(metadata.appliedAffineTransform(), rotate.transformMatrix());
}

// ---- Normalize ---------------------------------------------------------------------------------

TEST(Normalize, MovesToOriginAndRecordsTheRemovedOffset) {
    RUXRotateTransformation rotate;
    rotate.rotateClockwise90Degrees();
    RUXImageMetadata metadata;
    auto turned = rotate.resultFromImage(solidImage(6, 4, {1, 2, 3, 255}), metadata);
    RUXNormalizeTransformation normalize;
    auto result = normalize.resultFromImage(turned, metadata);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->extent().origin.x, 0, 1e-9);
    EXPECT_NEAR(result->extent().origin.y, 0, 1e-9);
    EXPECT_NEAR(result->extent().width(), 4, 1e-9);
    EXPECT_NEAR(metadata.translateX(), 0, 1e-9);
    EXPECT_NEAR(metadata.translateY(), -6, 1e-9);
    EXPECT_EQ(normalize.resultFromImage(nullptr, metadata), nullptr);
}

// ---- Crop: chosen on the displayed picture, rendered at every resolution and rotation ---------

struct CropCase {
    const char* rotation;
    int displayedSourceWidth, displayedSourceHeight; // the screen-resolution source
    int renderedSourceWidth, renderedSourceHeight;   // the resolution it is rendered at
};

class CropRoundTrip : public testing::TestWithParam<CropCase> {};

// Runs rotate (if any), crop and normalisation over a source of the given size.
ImageEngine::ImagePtr renderGeometry(const std::shared_ptr<RUXRotateTransformation>& rotate,
                                     const std::shared_ptr<RUXCropTransformation>& crop, int w, int h,
                                     RUXImageMetadata& metadata) {
    // Each pixel's colour names its source position, so the framing can be read back.
    ImageEngine::ImagePtr image = makeImage(w, h, [](int x, int y) {
        return Rgba{std::uint8_t(x % 256), std::uint8_t(y % 256), 0, 255};
    });
    if (rotate) {
        image = rotate->resultFromImage(image, metadata);
    }
    if (crop) {
        image = crop->resultFromImage(image, metadata);
    }
    return RUXNormalizeTransformation().resultFromImage(image, metadata);
}

TEST_P(CropRoundTrip, SameRegionOfThePhoto) {
    const CropCase& c = GetParam();
    auto rotate = std::make_shared<RUXRotateTransformation>();
    apply(*rotate, c.rotation);

    // The crop screen's picture: the screen-resolution source rotated and normalised.
    RUXImageMetadata shown;
    auto picture = renderGeometry(rotate, nullptr, c.displayedSourceWidth, c.displayedSourceHeight, shown);
    const double W = picture->extent().width(), H = picture->extent().height();
    // Frame an off-centre area of the displayed picture (top-left coordinates), in whole pixels
    // at every resolution of the table.
    const double x = W / 8, y = H / 4, w = W / 2, h = H / 4;
    auto crop = std::make_shared<RUXCropTransformation>();
    crop->setCropRect(Graphics::Rect(x, H - y - h, w, h), Graphics::Rect(0, 0, W, H), shown);
    EXPECT_NEAR(crop->originalRect().width(), c.displayedSourceWidth, 1e-9);
    EXPECT_NEAR(crop->originalRect().height(), c.displayedSourceHeight, 1e-9);

    RUXImageMetadata rendered;
    auto result = renderGeometry(rotate, crop, c.renderedSourceWidth, c.renderedSourceHeight, rendered);
    ASSERT_TRUE(result);
    const double f = double(c.renderedSourceWidth) / c.displayedSourceWidth;
    EXPECT_NEAR(result->extent().width(), w * f, 1e-6);
    EXPECT_NEAR(result->extent().height(), h * f, 1e-6);

    // The top-left pixel of the crop is the source pixel under the framed top-left corner.
    auto bitmap = render(result);
    ASSERT_TRUE(bitmap);
    RUXImageMetadata plain;
    auto full = render(renderGeometry(rotate, nullptr, c.renderedSourceWidth, c.renderedSourceHeight, plain));
    ASSERT_TRUE(full);
    EXPECT_EQ(pixel(*bitmap, 0, 0), pixel(*full, int(std::lround(x * f)), int(std::lround(y * f))));
}

INSTANTIATE_TEST_SUITE_P(Crop, CropRoundTrip,
                         testing::Values(CropCase{"", 960, 640, 1536, 1024},
                                         CropCase{"c", 960, 640, 1536, 1024},
                                         CropCase{"ch", 960, 640, 1536, 1024}, CropCase{"a", 96, 64, 48, 32},
                                         CropCase{"cc", 96, 64, 96, 64}, CropCase{"v", 96, 64, 240, 160}));

TEST(Crop, UnrotatedRectangleIsStoredAndRescaled) {
    RUXCropTransformation crop;
    RUXImageMetadata identity;
    crop.setCropRect(Graphics::Rect(30, 40, 300, 200), Graphics::Rect(0, 0, 960, 640), identity);
    EXPECT_EQ(crop.cropRect(), Graphics::Rect(30, 40, 300, 200));
    EXPECT_EQ(crop.originalRect(), Graphics::Rect(0, 0, 960, 640));
    RUXImageMetadata metadata;
    auto result = crop.resultFromImage(solidImage(1536, 1024, {9, 9, 9, 255}), metadata);
    EXPECT_EQ(result->extent(), Graphics::Rect(48, 64, 480, 320));
}

TEST(Crop, LaterQuarterTurnKeepsTheRegion) {
    // Crop chosen with no rotation; a clockwise turn committed afterwards shows the same photo area.
    auto crop = std::make_shared<RUXCropTransformation>();
    RUXImageMetadata identity;
    crop->setCropRect(Graphics::Rect(10, 20, 30, 16), Graphics::Rect(0, 0, 96, 64), identity);
    RUXImageMetadata before, after;
    auto unturned = render(renderGeometry(nullptr, crop, 96, 64, before));
    auto rotate = std::make_shared<RUXRotateTransformation>();
    rotate->rotateClockwise90Degrees();
    auto turned = render(renderGeometry(rotate, crop, 96, 64, after));
    ASSERT_TRUE(unturned && turned);
    ASSERT_EQ(turned->width(), unturned->height());
    // Turning the picture clockwise puts its bottom-left corner at the top-left.
    EXPECT_EQ(pixel(*turned, 0, 0), pixel(*unturned, 0, unturned->height() - 1));
}

TEST(Crop, MisplacedOriginIsReportedAndEmptyFramingPassesThrough) {
    Foundation::LogCapture capture;
    RUXCropTransformation crop;
    RUXImageMetadata metadata;
    auto image = solidImage(8, 8, {1, 1, 1, 255});
    // A fresh crop has no framing: the image is left alone rather than divided by zero.
    EXPECT_EQ(crop.resultFromImage(image, metadata), image);
    crop.setCropRect(Graphics::Rect(0, 0, 4, 4), Graphics::Rect(1, 2, 8, 8), metadata);
    EXPECT_TRUE(
        capture.contains("Original rectangle must start at (0, 0) but starts at (1.000000, 2.000000)"));
}

// ---- Colour adjustments -----------------------------------------------------------------------

TEST(ScalarAdjustments, DefaultsAreNeutralAndExtremesAct) {
    auto photo = makeImage(4, 4, [](int x, int y) {
        return Rgba{std::uint8_t(40 * x), 200, std::uint8_t(50 * y), 255};
    });
    auto reference = render(photo);
    std::vector<std::shared_ptr<RUXScalarTransformation>> adjustments{
        std::make_shared<RUXBrightnessTransformation>(), std::make_shared<RUXSaturationTransformation>(),
        std::make_shared<RUXContrastTransformation>()};
    for (auto& adjustment : adjustments) {
        RUXImageMetadata metadata;
        auto out = render(adjustment->resultFromImage(photo, metadata));
        ASSERT_TRUE(out);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                EXPECT_LE(maxDifference(pixel(*out, x, y), pixel(*reference, x, y)), 1);
            }
        }
        auto copy = std::static_pointer_cast<RUXScalarTransformation>(adjustment->copy());
        copy->setValue(5.0f);
        EXPECT_EQ(copy->value(), 5.0f);
        EXPECT_EQ(adjustment->value(), adjustment->defaultValue());
    }
    RUXSaturationTransformation grey;
    grey.setValue(0);
    RUXImageMetadata metadata;
    Rgba p = pixel(*render(grey.resultFromImage(solidImage(2, 2, {200, 40, 90, 255}), metadata)), 0, 0);
    EXPECT_LE(std::abs(p[0] - p[1]), 1);
    EXPECT_LE(std::abs(p[1] - p[2]), 1);
    RUXBrightnessTransformation darker;
    darker.setValue(-2);
    p = pixel(*render(darker.resultFromImage(solidImage(2, 2, {200, 200, 200, 255}), metadata)), 0, 0);
    EXPECT_LT(p[0], 140);
}

// ---- Focus blur -------------------------------------------------------------------------------

TEST(FocusBlur, GeometryFollowsWidthPointAndScale) {
    RUXBlurTransformation blur;
    auto g = blur.geometryForExtent(Graphics::Rect(0, 0, 1000, 800));
    EXPECT_DOUBLE_EQ(g.center.x, 500);
    EXPECT_DOUBLE_EQ(g.center.y, 400);
    EXPECT_DOUBLE_EQ(g.innerRadius, 97.65625);
    EXPECT_DOUBLE_EQ(g.outerRadius, 292.96875);
    blur.setPoint({0.25, 0.1});
    g = blur.geometryForExtent(Graphics::Rect(0, 0, 1000, 800));
    EXPECT_DOUBLE_EQ(g.center.x, 250);
    EXPECT_DOUBLE_EQ(g.center.y, 720);
    blur.setScale(2);
    for (double height : {800.0, 3000.0}) {
        g = blur.geometryForExtent(Graphics::Rect(0, 0, 1000, height));
        EXPECT_DOUBLE_EQ(g.innerRadius, 195.3125);
        EXPECT_DOUBLE_EQ(g.outerRadius, 585.9375);
    }
}

TEST(FocusBlur, SharpInsideBlurredOutsideNoDarkFringe) {
    // A vertical stripe pattern blurs visibly; the centre stays as it was.
    auto photo = makeImage(200, 200, [](int x, int) {
        return x % 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255};
    });
    auto sharp = render(photo);
    RUXBlurTransformation blur;
    RUXImageMetadata metadata;
    auto full = render(blur.resultFromImage(photo, metadata));
    ASSERT_TRUE(full);
    EXPECT_LE(maxDifference(pixel(*full, 100, 100), pixel(*sharp, 100, 100)), 1);
    Rgba corner = pixel(*full, 0, 0);
    EXPECT_GT(corner[0], 40);  // blurred towards grey, not black from a transparent edge
    EXPECT_LT(corner[0], 215); // but no longer the sharp value either
    EXPECT_EQ(corner[3], 255);

    auto quick = render(blur.quickResultFromImage(solidImage(200, 200, {0, 0, 0, 255}), metadata));
    ASSERT_TRUE(quick);
    EXPECT_EQ(pixel(*quick, 100, 100), (Rgba{0, 0, 0, 255}));
    // Far out, white at 85 % over black.
    Rgba veil = pixel(*quick, 0, 0);
    EXPECT_GT(veil[0], 200);
    EXPECT_LT(veil[0], 255);

    auto copy = std::static_pointer_cast<RUXBlurTransformation>(blur.copy());
    copy->setPoint({0.1, 0.2});
    EXPECT_EQ(blur.point(), (Graphics::Point{0.5, 0.5}));
}

// ---- Circle blur ------------------------------------------------------------------------------

struct KernelCase {
    int width, height;
    std::vector<std::int16_t> weights; // empty: only check size and divisor
    int size;
    int divisor;
};

class CircleBlurKernel : public testing::TestWithParam<KernelCase> {};

TEST_P(CircleBlurKernel, WeightsAndDivisor) {
    const KernelCase& c = GetParam();
    int size = RUXBeautifulBlurTransformation::kernelSizeForSize(c.width, c.height);
    EXPECT_EQ(size, c.size);
    auto kernel = RUXBeautifulBlurTransformation::kernelOfSize(size);
    EXPECT_EQ(kernel.divisor, c.divisor);
    if (!c.weights.empty()) {
        EXPECT_EQ(kernel.weights, c.weights);
    }
    EXPECT_EQ(kernel.weights.front(), kernel.weights.back());
    EXPECT_EQ(kernel.weights[size / 2], 255);
}

INSTANTIATE_TEST_SUITE_P(CircleBlur, CircleBlurKernel,
                         testing::Values(KernelCase{1000, 1500, {}, 81, 8463},
                                         KernelCase{100, 100, {2, 20, 82, 192, 255, 192, 82, 20, 2}, 9, 847},
                                         KernelCase{40, 40, {2, 255, 2}, 3, 259},
                                         KernelCase{24, 300, {255}, 1, 255}));

TEST(CircleBlur, ConvolutionIsEdgeExtendedAndMatchesADirectSum) {
    // A single bright row blurs into its neighbours with the kernel's weights; the edges repeat.
    auto bitmap = makeBitmap(20, 20, [](int, int y) {
        return y == 10 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255};
    });
    auto kernel = RUXBeautifulBlurTransformation::kernelOfSize(9);
    RUXBeautifulBlurTransformation::convolve(*bitmap, kernel);
    for (int d = -4; d <= 4; ++d) {
        int expected = int(std::lround(255.0 * kernel.weights[d + 4] / kernel.divisor));
        EXPECT_NEAR(pixel(*bitmap, 7, 10 + d)[0], expected, 1) << d;
    }
    EXPECT_EQ(pixel(*bitmap, 7, 10)[3], 255);
    // A uniform picture stays uniform up to the edges.
    auto flat = makeBitmap(12, 7, [](int, int) { return Rgba{90, 90, 90, 255}; });
    RUXBeautifulBlurTransformation::convolve(*flat, kernel);
    EXPECT_EQ(pixel(*flat, 0, 0), (Rgba{90, 90, 90, 255}));
    EXPECT_EQ(pixel(*flat, 11, 6), (Rgba{90, 90, 90, 255}));
    // What cannot be convolved is reported and left as it was.
    using Result = RUXBeautifulBlurTransformation::ConvolutionResult;
    RUXBeautifulBlurTransformation::Kernel even{{1, 1}, 2};
    EXPECT_EQ(RUXBeautifulBlurTransformation::convolve(*bitmap, even), Result::InvalidInput);
    auto gray = Graphics::Bitmap::create(8, 8, Graphics::PixelFormat::Gray8,
                                         Graphics::AlphaInfo::NoneSkipLast, Graphics::ColorSpace::DeviceGray);
    EXPECT_EQ(RUXBeautifulBlurTransformation::convolve(*gray, kernel), Result::InvalidInput);
    EXPECT_EQ(
        RUXBeautifulBlurTransformation::convolve(*flat, RUXBeautifulBlurTransformation::kernelOfSize(1)),
        Result::Done);
    EXPECT_EQ(pixel(*flat, 5, 3), (Rgba{90, 90, 90, 255}));
}

// The blur's pixels are those of the integer kernel summed exactly: each pass a weighted sum of
// edge-extended bytes, divided and rounded once. Busy pictures whose rows do not divide into the
// blur's blocks, with the kernels of small and large pictures, and one lopsided kernel.
TEST(CircleBlur, ConvolutionGivesTheIntegerKernelsPixelsExactly) {
    using Kernel = RUXBeautifulBlurTransformation::Kernel;
    auto pass = [](const std::vector<std::uint8_t>& in, int w, int h, const Kernel& kernel, bool vertical) {
        const int taps = int(kernel.weights.size()), half = taps / 2;
        std::vector<std::uint8_t> out(in.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c) {
                    std::int64_t sum = 0;
                    for (int k = 0; k < taps; ++k) {
                        int sx = vertical ? x : std::clamp(x + k - half, 0, w - 1);
                        int sy = vertical ? std::clamp(y + k - half, 0, h - 1) : y;
                        sum += kernel.weights[std::size_t(k)] * in[(std::size_t(sy) * w + sx) * 4 + c];
                    }
                    float v = float(sum) * (1.0f / float(kernel.divisor)) + 0.5f;
                    out[(std::size_t(y) * w + x) * 4 + c] = std::uint8_t(std::min(v, 255.0f));
                }
        return out;
    };
    struct Case {
        int w, h;
        Kernel kernel;
    };
    const Case cases[] = {{300, 23, RUXBeautifulBlurTransformation::kernelOfSize(9)},
                          {70, 180, RUXBeautifulBlurTransformation::kernelOfSize(163)},
                          {331, 5, RUXBeautifulBlurTransformation::kernelOfSize(81)},
                          {40, 30, Kernel{{3, 200, 7, 1, 90}, 301}}};
    for (const Case& c : cases) {
        auto bitmap = makeBitmap(c.w, c.h, [](int x, int y) {
            return Rgba{std::uint8_t(x * 37 + y * 11), std::uint8_t(x * y + 5), std::uint8_t((x ^ y) * 3),
                        std::uint8_t(255 - (x + y) % 7)};
        });
        std::vector<std::uint8_t> bytes;
        for (int y = 0; y < c.h; ++y)
            bytes.insert(bytes.end(), bitmap->row(y), bitmap->row(y) + c.w * 4);
        const auto want = pass(pass(bytes, c.w, c.h, c.kernel, true), c.w, c.h, c.kernel, false);
        ASSERT_EQ(RUXBeautifulBlurTransformation::convolve(*bitmap, c.kernel),
                  RUXBeautifulBlurTransformation::ConvolutionResult::Done);
        std::vector<std::uint8_t> got;
        for (int y = 0; y < c.h; ++y)
            got.insert(got.end(), bitmap->row(y), bitmap->row(y) + c.w * 4);
        EXPECT_EQ(got, want) << c.w << " x " << c.h << ", " << c.kernel.weights.size() << " taps";
    }
}

TEST(CircleBlur, MaskDrawsTheCircleGrownBy500AroundThePoint) {
    // A 100 × 100 black circle image covers 1100 × 1100 around the point.
    auto circle = Graphics::BitmapImage::create(makeBitmap(100, 100, [](int, int) {
        return Rgba{0, 0, 0, 255};
    }));
    auto mask = RUXBeautifulBlurTransformation::circleMask(2000, 1400, {1000, 700}, circle);
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->row(700)[1000], 0);
    EXPECT_EQ(mask->row(700)[451], 0);
    EXPECT_EQ(mask->row(700)[448], 255);
    EXPECT_EQ(mask->row(700)[1551], 255);
    EXPECT_EQ(mask->row(151)[1000], 0);
    EXPECT_EQ(mask->row(148)[1000], 255);
    // Without a circle the mask is white: the whole photo shows blurred.
    auto empty = RUXBeautifulBlurTransformation::circleMask(10, 10, {5, 5}, nullptr);
    EXPECT_EQ(empty->row(5)[5], 255);
}

TEST(CircleBlur, FullRenderPlacesThePointAndQuickRenderCachesBackgrounds) {
    RUXBeautifulBlurTransformation blur;
    RUXImageMetadata metadata;
    auto photo = makeImage(200, 100, [](int x, int) {
        return x % 2 ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 0, 255};
    });
    auto result = blur.resultFromImage(photo, metadata);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->extent(), photo->extent());
    EXPECT_EQ(blur.point(), (Graphics::Point{100, 50}));

    blur.quickResultFromImage(solidImage(30, 20, {0, 0, 0, 255}), metadata);
    blur.quickResultFromImage(solidImage(30, 20, {0, 0, 0, 255}), metadata);
    blur.quickResultFromImage(solidImage(40, 20, {0, 0, 0, 255}), metadata);
    EXPECT_EQ(blur.cachedBackgroundCount(), 2u);
    auto copy = std::static_pointer_cast<RUXBeautifulBlurTransformation>(blur.copy());
    EXPECT_EQ(copy->point(), blur.point());
    EXPECT_EQ(copy->scale(), 0);
    EXPECT_EQ(copy->cachedBackgroundCount(), 0u);

    // The quick preview is untouched near the point and white far from it.
    RUXBeautifulBlurTransformation fresh;
    fresh.setPoint({10, 10});
    auto quick = render(fresh.quickResultFromImage(solidImage(400, 300, {0, 0, 0, 255}), metadata));
    ASSERT_TRUE(quick);
    EXPECT_EQ(pixel(*quick, 10, 10), (Rgba{0, 0, 0, 255}));
    EXPECT_GT(pixel(*quick, 399, 299)[0], 200);
}

} // namespace
