#include "Support.h"

#include <ImageEngine/Convolution.h>
#include <gtest/gtest.h>

namespace {

using namespace EngineTest;
using ImageEngine::ConvolutionResult;
using ImageEngine::IntegerKernel;

struct CopyCase {
    const char* name;
    int width, height;
    IntegerKernel kernel;
};

class ConvolvedCopy : public testing::TestWithParam<CopyCase> {};

// The copy takes its own route (symmetric kernels go straight from the source into the new bitmap,
// other kernels blur a plain copy), so it is held to the in-place blur's bytes, and the source must
// come out as it went in.
TEST_P(ConvolvedCopy, GivesTheInPlaceBlurAndLeavesTheSourceAlone) {
    const CopyCase& c = GetParam();
    auto source = patternBitmap(c.width, c.height);
    const std::vector<std::uint8_t> before = bytesOf(*source);

    auto copy = ImageEngine::convolvedCopy(*source, c.kernel);
    ASSERT_TRUE(copy);
    auto inPlace = source->copy();
    ASSERT_EQ(ImageEngine::convolveSeparably(*inPlace, c.kernel), ConvolutionResult::Done);

    EXPECT_EQ(copy->width(), c.width);
    EXPECT_EQ(copy->height(), c.height);
    EXPECT_EQ(bytesOf(*copy), bytesOf(*inPlace));
    EXPECT_EQ(bytesOf(*source), before);
}

// Widths that do not divide into the vector blocks; a kernel longer than the picture is tall.
INSTANTIATE_TEST_SUITE_P(
    Kernels, ConvolvedCopy,
    testing::Values(CopyCase{"Symmetric", 131, 37, {{20, 90, 200, 255, 200, 90, 20}, 875}},
                    CopyCase{"LongerThanThePicture", 45, 6, {{1, 4, 9, 4, 1, 4, 9, 4, 1}, 37}},
                    CopyCase{"Lopsided", 40, 30, {{3, 200, 7, 1, 90}, 301}},
                    CopyCase{"OneTap", 17, 9, {{255}, 255}}),
    [](const testing::TestParamInfo<CopyCase>& info) { return info.param.name; });

// A kernel the blur cannot apply leaves the pixels as they were, in place and in the copy.
TEST(Convolution, AKernelThatCannotApplyLeavesThePixelsUnblurred) {
    auto source = patternBitmap(23, 11);
    const std::vector<std::uint8_t> before = bytesOf(*source);
    for (const IntegerKernel& kernel : {IntegerKernel{{1, 1}, 2}, IntegerKernel{{1, 2, 1}, 0}}) {
        auto copy = ImageEngine::convolvedCopy(*source, kernel);
        ASSERT_TRUE(copy);
        EXPECT_EQ(bytesOf(*copy), before);
        EXPECT_EQ(ImageEngine::convolveSeparably(*source, kernel), ConvolutionResult::InvalidInput);
        EXPECT_EQ(bytesOf(*source), before);
    }
}

} // namespace
