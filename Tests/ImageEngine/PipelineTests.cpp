// White-box checks of the render pipeline that the public interface cannot see: how often a node
// is computed, and that every instruction set the kernels are built for gives the same picture.
#include "Filters/Nodes.h"
#include "ImageEngine/Support.h"
#include "ImageEngine/TargetComparison.h"
#include "Pipeline/Node.h"
#include "Pipeline/PointNode.h"
#include "Pipeline/Simd.h"
#include "Pipeline/Srgb.h"

#include <ImageEngine/FilterNames.h>
#include <ImageEngine/InstructionSet.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

// Passes its input through and counts how often it is asked to render.
class CountingNode final : public Node {
public:
    CountingNode(NodePtr input, std::atomic<int>& renders)
        : Node(input->extent(), {input}), m_renders(renders) {}
    void render(const PixelSpan& out, RenderState& state) const override {
        ++m_renders;
        state.renderInput(*inputs()[0], out);
    }

private:
    std::atomic<int>& m_renders;
};

// Passes its input through and adds up the pixels it is asked for.
class AreaCountingNode final : public Node {
public:
    AreaCountingNode(NodePtr input, std::atomic<long>& area) : Node(input->extent(), {input}), m_area(area) {}
    void render(const PixelSpan& out, RenderState& state) const override {
        m_area += static_cast<long>(out.rect.w) * out.rect.h;
        state.renderInput(*inputs()[0], out);
    }

private:
    std::atomic<long>& m_area;
};

// The bytes of node over rect rendered tile by tile with nothing kept for the whole render: one
// RenderState over the rect, as any node is computed without a render-wide pass.
std::vector<std::uint8_t> bytesWithoutRenderWidePass(const NodePtr& node, const PixelRect& rect) {
    std::vector<float> pixels(static_cast<std::size_t>(rect.w) * static_cast<std::size_t>(rect.h) * 4);
    const std::size_t stride = static_cast<std::size_t>(rect.w) * 4;
    RenderPlan plan(node);
    RenderState state(plan, rect);
    state.renderInput(*node, {pixels.data(), stride, rect});
    // Top row first, as a bitmap holds them.
    std::vector<std::uint8_t> bytes(pixels.size());
    for (int row = 0; row < rect.h; ++row)
        Simd::encodeRgba8(pixels.data() + static_cast<std::size_t>(rect.h - 1 - row) * stride,
                          static_cast<std::size_t>(rect.w),
                          bytes.data() + static_cast<std::size_t>(row) * stride);
    return bytes;
}

struct SharingCase {
    const char* name;
    int tileSize;
    int tiles;
};

class SharedNodeTest : public testing::TestWithParam<SharingCase> {};

// The focus blur's shape: one picture feeding a sharp branch and a clamped, blurred branch.
TEST_P(SharedNodeTest, NodeWithTwoConsumersIsComputedOncePerTile) {
    std::atomic<int> renders{0};
    auto counted =
        imageWithNode(std::make_shared<CountingNode>(nodeOf(imageOf(patternBitmap(32, 24))), renders));
    auto sharp = apply("CIExposureAdjust", {{"inputImage", counted}, {"inputEV", 0.5}});
    auto clamp =
        apply("CIAffineClamp", {{"inputImage", counted}, {"inputTransform", Graphics::AffineTransform()}});
    auto blurred = apply("CIGaussianBlur", {{"inputImage", clamp}, {"inputRadius", 1.5}})
                       ->imageByCroppingToRect(counted->extent());
    auto mask = apply("CIRadialGradient", {{"inputCenter", Vector::make(16, 12)},
                                           {"inputRadius0", 4.0},
                                           {"inputRadius1", 10.0},
                                           {"inputColor0", Color{0, 1, 0, 1}},
                                           {"inputColor1", Color{0, 1, 0, 0}}});
    auto focus = apply("CIBlendWithMask",
                       {{"inputImage", sharp}, {"inputBackgroundImage", blurred}, {"inputMaskImage", mask}});
    const SharingCase& param = GetParam();
    auto bitmap = render(focus, focus->extent(),
                         {.tileWidth = param.tileSize, .tileHeight = param.tileSize, .maxThreads = 1});
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(renders.load(), param.tiles);
}

INSTANTIATE_TEST_SUITE_P(Tilings, SharedNodeTest,
                         testing::Values(SharingCase{"OneTile", 64, 1}, SharingCase{"Quarters", 16, 4},
                                         SharingCase{"EightByEight", 8, 12}),
                         [](const auto& info) { return std::string(info.param.name); });

// A render-wide node under a consumer that reads a wide margin: however small the tiles and
// however many threads, its input is computed once over what the whole render needs, and the
// picture is the one computed tile by tile.
TEST(RenderWide, ANodeIsComputedOncePerRenderAndGivesTheTiledPicture) {
    std::atomic<long> area{0};
    const NodePtr counted = std::make_shared<AreaCountingNode>(nodeOf(imageOf(patternBitmap(40, 30))), area);
    const NodePtr blurred = makeGaussianBlurNode(makeRenderWideNode(counted), 3.0);
    const NodePtr plain = makeGaussianBlurNode(counted, 3.0);
    const Rect rect(0, 0, 40, 30);
    const std::vector<std::uint8_t> expected = bytesWithoutRenderWidePass(plain, {0, 0, 40, 30});
    for (const int threads : {1, 2}) {
        area = 0;
        auto bitmap =
            render(imageWithNode(blurred), rect, {.tileWidth = 8, .tileHeight = 8, .maxThreads = threads});
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(area.load(), 40 * 30) << threads << " threads";
        EXPECT_EQ(bytesOf(*bitmap), expected) << threads << " threads";
    }
}

// Highlights and shadows with its grid on a coarser grid, exposure and the vignette make one
// per-pixel chain; its runs know where they lie whatever the tiles (runs split within a wide tile,
// tiles of odd sizes on two threads), and the grid read from the render-wide pass gives the
// picture gathered tile by tile.
TEST(RenderWide, ToneStepsAndTheVignetteFuseIntoOneChainThatTilesExactly) {
    auto picture = imageOf(patternBitmap(300, 40));
    auto image = apply(Filters::highlightsShadows.text, {{Inputs::image.text, picture},
                                                         {Inputs::highlights.text, -0.6},
                                                         {Inputs::shadows.text, 0.7},
                                                         {Inputs::radius.text, 8.5}});
    image = apply(Filters::exposureAdjust.text, {{Inputs::image.text, image}, {Inputs::ev.text, 0.4}});
    image = apply(Filters::vignette.text, {{Inputs::image.text, image},
                                           {Inputs::rectangle.text, Vector::makeWithRect(picture->extent())},
                                           {Inputs::amount.text, -0.5}});
    ASSERT_TRUE(image);
    const auto* chain = dynamic_cast<const PointNode*>(nodeOf(image).get());
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->kernels().size(), 3u);
    const std::vector<std::uint8_t> expected = bytesWithoutRenderWidePass(nodeOf(image), {0, 0, 300, 40});
    for (const Context::RenderOptions& options :
         {Context::RenderOptions{.tileWidth = 300, .tileHeight = 40, .maxThreads = 1},
          Context::RenderOptions{.tileWidth = 37, .tileHeight = 11, .maxThreads = 2}}) {
        auto bitmap = render(image, picture->extent(), options);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bytesOf(*bitmap), expected) << options.tileWidth << " x " << options.tileHeight;
    }
}

// A quarter turn or mirror after a turned picture cut to its frame (straightening, then the turns),
// or a move after it is cut again (the crop screen's rect, then the move to the origin), is folded
// into the one resampling; the picture must be the one the resampling followed by a copy of its
// pixels gives. Both are rendered to bytes, the copy from the turned picture's own bytes, so
// the only room for a difference is the folded matrix's rounding of the tap positions (about 1e-13
// of a pixel here), which one level covers.
TEST(Resampling, ATurnOrMirrorAfterATurnedFrameIsTheSameResamplingCopied) {
    constexpr int w = 67, h = 45;
    const ImagePtr photo = imageOf(patternBitmap(w, h));
    const Rect frame(0, 0, w, h);
    // As straightening builds it: the photo's edge repeated two pixels out, turned by 7° about the
    // centre and enlarged by 1.2, then cut to the photo's frame.
    ImagePtr bordered =
        apply(Filters::affineClamp.text,
              {{Inputs::image.text, photo}, {Inputs::transform.text, Graphics::AffineTransform::identity()}});
    bordered = apply(Filters::crop.text,
                     {{Inputs::image.text, bordered},
                      {Inputs::rectangle.text, Vector::makeWithRect(Rect(-2, -2, w + 4, h + 4))}});
    const double angle = 7 * std::numbers::pi / 180, zoom = 1.2, cx = w / 2.0, cy = h / 2.0;
    const double c = std::cos(angle) * zoom, s = std::sin(angle) * zoom;
    const Graphics::AffineTransform level{c, s, -s, c, cx - c * cx + s * cy, cy - s * cx - c * cy};
    const ImagePtr turned = apply(Filters::affineTransform.text,
                                  {{Inputs::image.text, bordered}, {Inputs::transform.text, level}});
    const ImagePtr straightened =
        apply(Filters::crop.text,
              {{Inputs::image.text, turned}, {Inputs::rectangle.text, Vector::makeWithRect(frame)}});
    const Rect inner(6, 4, w - 13, h - 9);
    const ImagePtr cutAgain =
        apply(Filters::crop.text,
              {{Inputs::image.text, straightened}, {Inputs::rectangle.text, Vector::makeWithRect(inner)}});
    const std::shared_ptr<Graphics::Bitmap> straightBytes = render(straightened, frame);
    ASSERT_TRUE(straightBytes);
    const ImagePtr cutBytes =
        apply(Filters::crop.text, {{Inputs::image.text, imageOf(straightBytes)},
                                   {Inputs::rectangle.text, Vector::makeWithRect(inner)}});

    const std::pair<const char*, Graphics::AffineTransform> moves[] = {
        {"quarter turn", {0, 1, -1, 0, h, 0}},     {"half turn", {-1, 0, 0, -1, w, h}},
        {"three quarters", {0, -1, 1, 0, 0, w}},   {"mirror across", {-1, 0, 0, 1, w, 0}},
        {"mirror up", {1, 0, 0, -1, 0, h}},        {"quarter turn mirrored", {0, 1, 1, 0, 0, 0}},
        {"whole-pixel move", {1, 0, 0, 1, 5, -3}}, {"cut again, moved to the origin", {1, 0, 0, 1, -6, -4}},
    };
    for (const auto& [name, move] : moves) {
        SCOPED_TRACE(name);
        const int cuts = move.tx == -6 ? 2 : 1;
        const ImagePtr folded =
            apply(Filters::affineTransform.text, {{Inputs::image.text, cuts == 2 ? cutAgain : straightened},
                                                  {Inputs::transform.text, move}});
        // One resampling of the bordered photo, cut: no second pass reads the turned picture.
        NodePtr resampling = nodeOf(folded);
        for (int i = 0; i < cuts; ++i) {
            ASSERT_TRUE(resampling && resampling->inputs().size() == 1);
            resampling = resampling->inputs()[0];
        }
        ASSERT_TRUE(resampling && resampling->inputs().size() == 1);
        EXPECT_EQ(resampling->inputs()[0], nodeOf(bordered));

        const ImagePtr copied = apply(Filters::affineTransform.text,
                                      {{Inputs::image.text, cuts == 2 ? cutBytes : imageOf(straightBytes)},
                                       {Inputs::transform.text, move}});
        const Rect moved = move.applyToRect(cuts == 2 ? inner : frame);
        EXPECT_EQ(folded->extent(), copied->extent());
        const std::shared_ptr<Graphics::Bitmap> a = render(folded, moved), b = render(copied, moved);
        ASSERT_TRUE(a && b);
        const std::vector<std::uint8_t> bytesA = bytesOf(*a), bytesB = bytesOf(*b);
        ASSERT_EQ(bytesA.size(), bytesB.size());
        int most = 0;
        for (std::size_t i = 0; i < bytesA.size(); ++i)
            most = std::max(most, std::abs(int(bytesA[i]) - int(bytesB[i])));
        EXPECT_LE(most, 1);
    }
}

// Every kernel once per instruction set: a chain through all of them on a busy, translucent
// picture, whose width leaves a partial vector on every target.
TEST(Targets, EveryCompiledInstructionSetGivesThePictureWithinOneStep) {
    auto picture = imageOf(patternBitmap(45, 23));
    auto veil = imageOf(solidBitmap(45, 23, 90, 30, 60, 140));
    std::vector<float> cube;
    for (int b = 0; b < 3; ++b)
        for (int g = 0; g < 3; ++g)
            for (int r = 0; r < 3; ++r)
                cube.insert(cube.end(), {g / 2.0f, b / 2.0f, r / 2.0f, 1.0f});
    auto cubeBytes = std::make_shared<std::vector<std::uint8_t>>(cube.size() * sizeof(float));
    std::memcpy(cubeBytes->data(), cube.data(), cubeBytes->size());
    auto image = picture->imageByApplyingTransform(Graphics::AffineTransform::makeRotation(-M_PI / 2));
    image = apply("CIExposureAdjust", {{"inputImage", image}, {"inputEV", 0.4}});
    image =
        apply("CIColorControls", {{"inputImage", image}, {"inputSaturation", 1.4}, {"inputContrast", 1.1}});
    image = apply("CIGammaAdjust", {{"inputImage", image}, {"inputPower", 0.8}});
    image = apply("CIColorCubeWithColorSpace",
                  {{"inputImage", image}, {"inputCubeDimension", 3.0}, {"inputCubeData", Data(cubeBytes)}});
    auto overlay = veil->imageByApplyingTransform(Graphics::AffineTransform::makeScale(0.7, 1.6));
    image = apply("CIOverlayBlendMode", {{"inputImage", overlay}, {"inputBackgroundImage", image}});
    auto blurred = apply("CIGaussianBlur", {{"inputImage", image}, {"inputRadius", 1.7}});
    auto mask = apply("CIRadialGradient", {{"inputCenter", Vector::make(10, -20)},
                                           {"inputRadius0", 5.0},
                                           {"inputRadius1", 15.0},
                                           {"inputColor0", Color{0, 1, 0, 1}},
                                           {"inputColor1", Color{0, 1, 0, 0}}});
    image = apply("CIBlendWithMask",
                  {{"inputImage", image}, {"inputBackgroundImage", blurred}, {"inputMaskImage", mask}});
    image = apply("CISourceOverCompositing", {{"inputImage", veil}, {"inputBackgroundImage", image}});
    const Rect rect = image->extent();

    expectSameOnEveryTarget(image, rect, 19, 11);
}

// The bytes' decoding to linear light computes the sRGB curve instead of looking it up, within a
// pinned bound of the exact values: every 8-bit code of an opaque pixel, and every (colour, alpha)
// pair of a translucent one (colour above alpha counts as full colour), on every instruction set,
// read along a row and gathered with a step alike. Measured: largest relative difference 2.2e-6 for
// the opaque codes and 2.4e-6 for the pairs on AVX2, SSE4 and the portable set (the fit's own 2.3e-6
// and the rounding of the float steps), a thousandth of a level once encoded again.
TEST(Decode, EveryCodeIsWithinThePinnedBoundOfTheExactCurve) {
    constexpr double kRelativeBound = 4e-6;
    std::vector<std::uint8_t> opaque(256 * 4), translucent(256 * 256 * 4);
    for (int c = 0; c < 256; ++c) {
        const std::uint8_t pixel[4] = {std::uint8_t(c), std::uint8_t(255 - c), std::uint8_t(c), 255};
        std::memcpy(&opaque[c * 4], pixel, 4);
        for (int a = 0; a < 256; ++a) {
            const std::uint8_t pair[4] = {std::uint8_t(c), std::uint8_t(c / 2), std::uint8_t(255 - c),
                                          std::uint8_t(a)};
            std::memcpy(&translucent[(a * 256 + c) * 4], pair, 4);
        }
    }
    // The exact linear premultiplied value of a stored (colour, alpha) pair.
    auto exact = [](int c, int a) {
        return a == 0 ? 0.0 : srgbDecodeExact(std::min(1.0, double(c) / a)) * a / 255.0;
    };
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        SCOPED_TRACE(hwy::TargetName(target));
        double worstOpaque = 0, worstTranslucent = 0;
        auto check = [](double got, double want, double& worst) {
            const double difference = std::abs(got - want);
            worst = std::max(worst, want == 0 ? difference : difference / want);
        };
        std::vector<float> out(256 * 4), gathered(256 * 4);
        Simd::decodeRgba8(opaque.data(), 1, 256, true, out.data());
        // The same codes read backwards, as a mirrored row is.
        Simd::decodeRgba8(opaque.data() + 255 * 4, -1, 256, true, gathered.data());
        for (int c = 0; c < 256; ++c) {
            check(out[c * 4], exact(c, 255), worstOpaque);
            check(out[c * 4 + 1], exact(255 - c, 255), worstOpaque);
            EXPECT_EQ(out[c * 4 + 3], 1.0f);
            EXPECT_EQ(std::memcmp(&out[c * 4], &gathered[(255 - c) * 4], 4 * sizeof(float)), 0) << c;
        }
        for (int a = 0; a < 256; ++a) {
            Simd::decodeRgba8(&translucent[a * 256 * 4], 1, 256, false, out.data());
            // Every other pixel of the row, gathered with a step of two.
            Simd::decodeRgba8(&translucent[a * 256 * 4], 2, 128, false, gathered.data());
            // Straight into colour lanes, as a per-pixel chain reads a bitmap: the same values, and
            // zeros past the last pixel (253 leaves a partial vector on every target).
            alignas(64) float lanes[4][256];
            std::fill(&lanes[0][0], &lanes[0][0] + 4 * 256, -1.0f);
            Simd::decodeRgba8Lanes(&translucent[a * 256 * 4], false,
                                   {lanes[0], lanes[1], lanes[2], lanes[3], 253});
            for (int c = 0; c < 256; ++c) {
                for (int k = 0; k < 4; ++k) {
                    if (c < 253) {
                        ASSERT_EQ(lanes[k][c], out[c * 4 + k]) << a << " " << c;
                    } else if (lanes[k][c] != -1.0f) {
                        ASSERT_EQ(lanes[k][c], 0.0f) << a << " " << c;
                    }
                }
            }
            for (int c = 0; c < 256; ++c) {
                check(out[c * 4], exact(c, a), worstTranslucent);
                check(out[c * 4 + 1], exact(c / 2, a), worstTranslucent);
                check(out[c * 4 + 2], exact(255 - c, a), worstTranslucent);
                EXPECT_FLOAT_EQ(out[c * 4 + 3], a / 255.0f);
                if (c % 2 == 0) {
                    EXPECT_EQ(std::memcmp(&out[c * 4], &gathered[c / 2 * 4], 4 * sizeof(float)), 0) << c;
                }
            }
        }
        EXPECT_LE(worstOpaque, kRelativeBound);
        EXPECT_LE(worstTranslucent, kRelativeBound);
        RecordProperty(std::string("largest relative difference, ") + hwy::TargetName(target),
                       std::to_string(worstOpaque) + " opaque, " + std::to_string(worstTranslucent) +
                           " translucent");
        std::printf("%s: largest relative difference %.3g opaque, %.3g translucent\n",
                    hwy::TargetName(target), worstOpaque, worstTranslucent);
    }
    hwy::SetSupportedTargetsForTest(0);
}

} // namespace

namespace {

// Lifts any limit a test set, even when an assertion ends it early.
struct InstructionSetLimitGuard {
    ~InstructionSetLimitGuard() { ImageEngine::limitInstructionSet(ImageEngine::InstructionSet::Best); }
};

TEST(InstructionSet, ALimitCapsTheKernelsAndBestLiftsIt) {
    InstructionSetLimitGuard guard;
    const std::vector<std::int64_t> all = hwy::SupportedAndGeneratedTargets();
    // Each limit runs the widest set at or below it that this processor and build have.
    auto expected = [&](std::int64_t widest) {
        for (std::int64_t target : all)
            if (target >= widest)
                return std::string(hwy::TargetName(target));
        return std::string(hwy::TargetName(all.back()));
    };
    ASSERT_TRUE(ImageEngine::limitInstructionSet(ImageEngine::InstructionSet::Scalar));
    EXPECT_EQ(ImageEngine::instructionSetName(), expected(HWY_EMU128));
    // Asking what is supported must not undo the limit.
    EXPECT_EQ(hwy::TargetName(hwy::SupportedAndGeneratedTargets().front()), expected(HWY_EMU128));
    EXPECT_EQ(ImageEngine::instructionSetName(), expected(HWY_EMU128));
#if HWY_ARCH_X86
    for (const auto& [limit, widest] : {std::pair{ImageEngine::InstructionSet::Sse4, HWY_SSE4},
                                        std::pair{ImageEngine::InstructionSet::Avx2, HWY_AVX2},
                                        std::pair{ImageEngine::InstructionSet::Avx512, HWY_AVX3_DL}}) {
        ASSERT_TRUE(ImageEngine::limitInstructionSet(limit));
        EXPECT_EQ(ImageEngine::instructionSetName(),
                  expected(limit == ImageEngine::InstructionSet::Avx512 ? 1 : widest));
    }
#else
    EXPECT_FALSE(ImageEngine::limitInstructionSet(ImageEngine::InstructionSet::Avx2));
#endif
    ASSERT_TRUE(ImageEngine::limitInstructionSet(ImageEngine::InstructionSet::Best));
    EXPECT_EQ(ImageEngine::instructionSetName(), expected(1));
}

TEST(InstructionSet, HostSettingsNameTheLimits) {
    using ImageEngine::InstructionSet, ImageEngine::instructionSetNamed;
    EXPECT_EQ(instructionSetNamed("avx512"), InstructionSet::Avx512);
    EXPECT_EQ(instructionSetNamed("AVX2"), InstructionSet::Avx2);
    EXPECT_EQ(instructionSetNamed("sse4"), InstructionSet::Sse4);
    EXPECT_EQ(instructionSetNamed("Scalar"), InstructionSet::Scalar);
    EXPECT_EQ(instructionSetNamed("best"), InstructionSet::Best);
    EXPECT_EQ(instructionSetNamed("avx"), std::nullopt);
    EXPECT_EQ(instructionSetNamed(""), std::nullopt);
}

} // namespace
