#include "EditorTestSupport.h"

#include <Foundation/Log.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXImageMetadata.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace EditorTest;

namespace {

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
