// White-box checks of the render pipeline that the public interface cannot see: how often a node
// is computed.
#include "Filters/Nodes.h"
#include "ImageEngine/Support.h"
#include "Pipeline/Node.h"

#include <atomic>
#include <gtest/gtest.h>

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

} // namespace
