// Geometry as the editor builds it: turns composed from rotations that leave rounding residues,
// the rotated resampling path against a double-precision reference, and the scratch memory a render
// leaves behind.
#include "Filters/Nodes.h"
#include "ImageEngine/Support.h"
#include "Pipeline/Node.h"
#include "Pipeline/Simd.h"

#include <Foundation/Dispatch.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::AffineTransform;
using Graphics::Rect;

namespace {

// The rotate tool's matrix: each request composes an elementary rotation by ±pi/2, computed with
// sin and cos and never rounded, or a mirror scale, in front of the matrix so far. The exact matrix
// is the same product over whole numbers.
struct Sequence {
    AffineTransform residue, exact;
};

Sequence compose(const std::string& steps) {
    Sequence s;
    int flipDirection = 1, rotateDirection = 1;
    std::istringstream words(steps);
    for (std::string word; words >> word;) {
        if (word == "cw" || word == "ccw") {
            const int sign = (word == "cw" ? -1 : 1) * rotateDirection;
            const double angle = sign * 1.5707963267948966;
            const double c = std::cos(angle), si = std::sin(angle);
            s.residue = AffineTransform::concat({c, si, -si, c, 0, 0}, s.residue);
            s.exact = AffineTransform::concat({0, double(sign), double(-sign), 0, 0, 0}, s.exact);
            flipDirection = -flipDirection;
        } else {
            const double sx = word == "h" ? -flipDirection : flipDirection, sy = -sx;
            s.residue = AffineTransform::concat(AffineTransform::makeScale(sx, sy), s.residue);
            s.exact = AffineTransform::concat(AffineTransform::makeScale(sx, sy), s.exact);
            rotateDirection = -rotateDirection;
        }
    }
    return s;
}

// What a render of [rotate, crop, normalise] does with a matrix: turn, keep a rectangle of the
// turned picture (mapped through the same matrix, so it carries the same residues), move the
// result back to the origin.
ImagePtr turnCropNormalise(ImagePtr image, const AffineTransform& m, int w, int h) {
    image = image->imageByApplyingTransform(m);
    image = image->imageByCroppingToRect(m.applyToRect(Rect(2, 1, w - 5, h - 3)));
    const Rect extent = image->extent();
    return image->imageByApplyingTransform(AffineTransform::makeTranslation(-extent.minX(), -extent.minY()));
}

class RotateSequenceTest : public testing::TestWithParam<const char*> {};

TEST_P(RotateSequenceTest, ResidueMatricesRenderTheBytesOfExactOnes) {
    const int w = 13, h = 8;
    const Sequence s = compose(GetParam());
    auto bitmap = imageOf(patternBitmap(w, h));
    // Read straight from the bitmap, and on tiles after a step that keeps every value.
    for (ImagePtr source : {bitmap, apply("CIExposureAdjust", {{"inputImage", bitmap}, {"inputEV", 0.0}})}) {
        auto residue = turnCropNormalise(source, s.residue, w, h);
        auto exact = turnCropNormalise(source, s.exact, w, h);
        ASSERT_TRUE(residue && exact);
        ASSERT_EQ(residue->extent(), exact->extent());
        EXPECT_EQ(residue->extent().origin, Graphics::Point(0, 0));
        auto got = render(residue, residue->extent(), {.tileWidth = 5, .tileHeight = 3});
        auto want = render(exact, exact->extent(), {.tileWidth = 7, .tileHeight = 4});
        ASSERT_TRUE(got && want);
        EXPECT_EQ(bytesOf(*got), bytesOf(*want));
    }
}

INSTANTIATE_TEST_SUITE_P(Sequences, RotateSequenceTest,
                         testing::Values("cw", "ccw", "cw cw", "cw cw cw", "cw cw cw cw", "h", "v h", "cw h",
                                         "cw h cw", "ccw v cw h ccw", "h cw cw v ccw ccw ccw"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 c = c == ' ' ? '_' : c;
                             return name;
                         });

// Every quarter turn and mirror of a picture of any size copies its pixels: an opaque picture, a
// translucent one and one with a single translucent pixel, of odd, even and awkward sizes (the screen
// pictures of real photos are rarely round; 1923 pixels is the default photo's screen picture, whose rows are
// padded), with tiles that end inside the blocks the turned read transposes and the default ones, against the
// pixels of the unturned render moved where the matrix sends them. Read straight into bytes, and decoded to
// floats for a step that keeps every value (exposure 0), on every instruction set this processor runs (their
// transposed blocks differ).
TEST(QuarterTurns, CopyThePixelsOfPicturesOfAnySize) {
    const AffineTransform orientations[] = {{0, 1, -1, 0, 0, 0}, {-1, 0, 0, -1, 0, 0}, {0, -1, 1, 0, 0, 0},
                                            {-1, 0, 0, 1, 0, 0}, {1, 0, 0, -1, 0, 0},  {0, 1, 1, 0, 0, 0},
                                            {0, -1, -1, 0, 0, 0}};
    for (const auto& [w, h] : {std::pair{37, 23}, std::pair{64, 9}, std::pair{193, 130}, std::pair{1923, 21},
                               std::pair{30, 517}}) {
        // Opaque rows are copied as they are; a row with a translucent pixel is decoded and encoded.
        auto translucent = patternBitmap(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = translucent->mutableRow(y) + x * 4;
                p[3] = static_cast<std::uint8_t>(x + y == 3 ? 0 : 255 - (x * 7 + y * 13) % 97);
                for (int c = 0; c < 3; ++c)
                    p[c] = std::min(p[c], p[3]);
            }
        // One translucent pixel: the only row of the turned picture that is not copied as it is.
        auto onePixel = patternBitmap(w, h);
        std::memcpy(onePixel->mutableRow(h / 2) + (w / 3) * 4,
                    std::array<std::uint8_t, 4>{20, 40, 60, 90}.data(), 4);
        for (const auto& bitmap : {patternBitmap(w, h), translucent, onePixel}) {
            auto source = imageOf(bitmap);
            auto upright = render(source, source->extent());
            ASSERT_TRUE(upright);
            for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
                hwy::SetSupportedTargetsForTest(target);
                for (const AffineTransform& m : orientations) {
                    auto turned = source->imageByApplyingTransform(m);
                    const Rect extent = turned->extent();
                    turned = turned->imageByApplyingTransform(
                        AffineTransform::makeTranslation(-extent.minX(), -extent.minY()));
                    const AffineTransform back =
                        *AffineTransform::concat(
                             m, AffineTransform::makeTranslation(-extent.minX(), -extent.minY()))
                             .inverted();
                    auto decoded = apply("CIExposureAdjust", {{"inputImage", turned}, {"inputEV", 0.0}});
                    for (const ImagePtr& image : {turned, decoded})
                        for (Context::RenderOptions options :
                             {Context::RenderOptions{.tileWidth = 19, .tileHeight = 13},
                              Context::RenderOptions{}}) {
                            auto got = render(image, image->extent(), options);
                            ASSERT_TRUE(got);
                            int wrong = 0;
                            for (int row = 0; row < got->height(); ++row)
                                for (int x = 0; x < got->width(); ++x) {
                                    const Graphics::Point p =
                                        back.applyToPoint({x + 0.5, got->height() - row - 0.5});
                                    const int sx = int(std::floor(p.x)), sy = int(std::floor(p.y));
                                    wrong += std::memcmp(pixel(*got, x, row), pixel(*upright, sx, h - 1 - sy),
                                                         4) != 0;
                                }
                            EXPECT_EQ(wrong, 0) << w << " x " << h << ", matrix " << m.a << " " << m.b << " "
                                                << m.c << " " << m.d << ", tiles " << options.tileWidth
                                                << ", " << (image == turned ? "bytes" : "floats") << ", "
                                                << (bitmap == translucent ? "translucent"
                                                    : bitmap == onePixel  ? "one translucent pixel"
                                                                          : "opaque")
                                                << ", " << hwy::TargetName(target);
                        }
                }
            }
            hwy::SetSupportedTargetsForTest(0);
        }
    }
}

// A turn held a little too far from exact (beyond rounding) is resampled, not copied.
TEST(RotateSequence, MatricesBeyondTheToleranceAreResampled) {
    const AffineTransform nearly{1e-9, -1, 1, 1e-9, 0, 0};
    EXPECT_FALSE(snappedToPixelGrid(nearly));
    EXPECT_TRUE(snappedToPixelGrid({6e-17, -1, 1, -6e-17, 3072 + 1e-13, -2e-13}));
    EXPECT_FALSE(snappedToPixelGrid({1, 0, 0, 1, 0.25, 0}));
}

std::vector<float> renderFloats(const NodePtr& node, const PixelRect& rect) {
    std::vector<float> pixels(static_cast<std::size_t>(rect.w) * static_cast<std::size_t>(rect.h) * 4);
    RenderPlan plan(node);
    RenderState state(plan, rect);
    state.renderInput(*node, {pixels.data(), static_cast<std::size_t>(rect.w) * 4, rect});
    return pixels;
}

// Every pixel of a rotated, sheared or scaled picture is the bilinear blend of the four source
// pixels around its mapped centre (transparent beyond the source), on every instruction set, within
// float rounding of a double-precision computation.
TEST(RotatedPath, MatchesTheDoublePrecisionBlendOnEveryInstructionSet) {
    const int w = 29, h = 17;
    NodePtr source = nodeOf(imageOf(patternBitmap(w, h)));
    const PixelRect sourceRect{0, 0, w, h};
    const std::vector<float> linear = renderFloats(source, sourceRect);
    auto tap = [&](int x, int y, int c) -> double {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return 0;
        return linear[(static_cast<std::size_t>(y) * w + x) * 4 + c];
    };
    const AffineTransform transforms[] = {
        AffineTransform::makeRotation(0.4),
        AffineTransform::makeRotation(-1.2).scaled(1.7, 0.6),
        AffineTransform{1, 0.3, -0.45, 1, 2.25, -1.5},
        AffineTransform::makeRotation(M_PI / 4).translated(100.3, -40.7),
        AffineTransform::makeRotation(1e-3),
        AffineTransform::makeScale(-1, 1).rotated(2.5).scaled(0.4, 0.4),
    };
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        for (const AffineTransform& transform : transforms) {
            NodePtr node = makeAffineNode(source, transform);
            const PixelRect rect = node->bounds();
            const std::vector<float> got = renderFloats(node, rect);
            const AffineTransform inverse = *transform.inverted();
            double worst = 0;
            for (int y = rect.y; y < rect.maxY(); ++y)
                for (int x = rect.x; x < rect.maxX(); ++x) {
                    Graphics::Point q = inverse.applyToPoint({x + 0.5, y + 0.5});
                    const double fx = q.x - 0.5, fy = q.y - 0.5;
                    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
                    const double wx = fx - x0, wy = fy - y0;
                    for (int c = 0; c < 4; ++c) {
                        double bottom = tap(x0, y0, c) * (1 - wx) + tap(x0 + 1, y0, c) * wx;
                        double top = tap(x0, y0 + 1, c) * (1 - wx) + tap(x0 + 1, y0 + 1, c) * wx;
                        double want = bottom * (1 - wy) + top * wy;
                        std::size_t i =
                            (static_cast<std::size_t>(y - rect.y) * static_cast<std::size_t>(rect.w) +
                             (x - rect.x)) *
                                4 +
                            c;
                        worst = std::max(worst, std::abs(got[i] - want));
                    }
                }
            // Values lie in 0…1; the weights are rounded to float, and each blend adds a rounding.
            EXPECT_LT(worst, 4e-7) << hwy::TargetName(target) << " a=" << transform.a << " b=" << transform.b;
        }
    }
    hwy::SetSupportedTargetsForTest(0);
}

// The rotated path's taps, worked out a vector at a time, are those of the plain formula on every
// instruction set, to the bit: the columns, the rows and the weights of each pixel of runs of every
// length, near and far from the origin, with the taps outside the source marked.
TEST(RotatedPath, TapsAreThoseOfThePlainFormulaOnEveryInstructionSet) {
    const AffineTransform inverses[] = {
        *AffineTransform::makeRotation(0.3927).scaled(1.5, 1.5).inverted(),
        AffineTransform{0.7, -0.31, 0.29, 0.69, -512.37, 811.9},
        AffineTransform{1, 0.3, -0.45, 1, 2.25, -1.5},
    };
    const PixelRect source{-40, -30, 300, 260};
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        int inside = 0;
        for (const AffineTransform& m : inverses)
            for (const auto& [x, y, count] :
                 {std::tuple{-50, -20, std::size_t{1}}, std::tuple{3, 7, std::size_t{37}},
                  std::tuple{120, 200, std::size_t{211}}}) {
                std::vector<std::int32_t> columns(count + kMaxDoubleLanes), rows(count + kMaxDoubleLanes);
                std::vector<float> weightsX(count + kMaxDoubleLanes), weightsY(count + kMaxDoubleLanes);
                bilinearTaps(m, x, y, count, source, columns.data(), rows.data(), weightsX.data(),
                             weightsY.data());
                for (std::size_t i = 0; i < count; ++i) {
                    // Each product stored before it is added, so no fused multiply-add joins them.
                    const double px = x + static_cast<double>(i) + 0.5, py = y + 0.5;
                    volatile double ax = m.a * px, cy = m.c * py, bx = m.b * px, dy = m.d * py;
                    const double fx = (ax + cy) + m.tx - 0.5, fy = (bx + dy) + m.ty - 0.5;
                    const double floorX = std::floor(fx), floorY = std::floor(fy);
                    const bool in = floorX >= source.x && floorX + 1 < source.maxX() && floorY >= source.y &&
                                    floorY + 1 < source.maxY();
                    inside += in;
                    ASSERT_EQ(columns[i], in ? static_cast<int>(floorX) - source.x : -1)
                        << hwy::TargetName(target) << " pixel " << i;
                    if (!in)
                        continue;
                    ASSERT_EQ(rows[i], static_cast<int>(floorY) - source.y) << hwy::TargetName(target);
                    ASSERT_EQ(weightsX[i], static_cast<float>(fx - floorX)) << hwy::TargetName(target);
                    ASSERT_EQ(weightsY[i], static_cast<float>(fy - floorY)) << hwy::TargetName(target);
                }
            }
        EXPECT_GT(inside, 100) << "the runs reach into the source";
    }
    hwy::SetSupportedTargetsForTest(0);
}

// A render far larger than a tile leaves only a bounded amount of scratch behind, and a small
// render after it does not bring it back.
TEST(Scratch, HeldMemoryIsBoundedAfterLargeAndSmallRenders) {
    const std::size_t threads = Foundation::globalQueueThreadCount() + 1;
    const std::size_t bound = threads * Context::kKeptScratchBytesPerThread;
    auto large = imageOf(patternBitmap(1100, 1000));
    auto blurred =
        apply("CIGaussianBlur",
              {{"inputImage", apply("CIExposureAdjust", {{"inputImage", large}, {"inputEV", 0.3}})},
               {"inputRadius", 3.0}});
    // One tile of 1100 × 1000 float pixels is 17.6 MB, over the per-thread bound on its own.
    auto bitmap = render(blurred, large->extent(), {.tileWidth = 1100, .tileHeight = 1000, .maxThreads = 1});
    ASSERT_TRUE(bitmap);
    EXPECT_LE(Context::scratchBytesHeld(), bound);
    auto small =
        apply("CIExposureAdjust", {{"inputImage", imageOf(patternBitmap(40, 30))}, {"inputEV", 0.3}});
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(render(small, small->extent()));
    EXPECT_LE(Context::scratchBytesHeld(), bound);
    EXPECT_GT(Context::scratchBytesHeld(), 0u) << "a few tiles' worth stays for the next render";
}

} // namespace
