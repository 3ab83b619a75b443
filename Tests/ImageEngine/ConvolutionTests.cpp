#include "Convolution/RowSums.h"
#include "Support.h"

#include <ImageEngine/Convolution.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <random>

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

// The vector path on every instruction set this processor has, against the portable sums, over
// lengths that end inside a vector block (520 fills a block of SVE's widest, 2048-bit vectors) and
// kernels with an odd and an even number of mirrored pairs, up to the largest circle blur's 163 taps
// of weights up to 255, on rows of the extreme bytes and of noise.
TEST(Convolution, TheVectorPathGivesThePortableSumsOnEveryInstructionSet) {
    namespace C = ImageEngine::Convolution;
    std::mt19937 random(7);
    for (int taps : {3, 5, 9, 163}) {
        std::vector<std::int16_t> weights(static_cast<std::size_t>(taps));
        int divisor = 0;
        for (int k = 0; k <= taps / 2; ++k) {
            weights[std::size_t(k)] = weights[std::size_t(taps - 1 - k)] =
                std::int16_t(k == taps / 2 ? 255 : 1 + random() % 255);
        }
        for (std::int16_t w : weights) {
            divisor += w;
        }
        ASSERT_TRUE(C::vectorPathFits(weights));
        for (std::size_t length :
             {std::size_t(1), std::size_t(63), std::size_t(64), std::size_t(200), std::size_t(520)}) {
            std::vector<std::vector<std::uint8_t>> bytes(static_cast<std::size_t>(taps),
                                                         std::vector<std::uint8_t>(length, 0));
            for (std::size_t k = 0; k < bytes.size(); ++k) {
                for (std::size_t i = 0; i < length; ++i) {
                    bytes[k][i] = k % 3 == 0 ? 255 : k % 3 == 1 ? std::uint8_t(random()) : 0;
                }
            }
            std::vector<const std::uint8_t*> rows;
            for (const auto& row : bytes) {
                rows.push_back(row.data());
            }
            const float inverse = 1.0f / float(divisor);
            std::vector<std::int32_t> sums(length);
            std::vector<std::uint8_t> want(length);
            C::accumulateRows(rows.data(), weights.data(), taps, length, sums.data(), inverse, want.data());
            for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
                hwy::SetSupportedTargetsForTest(target);
                std::vector<std::vector<std::uint16_t>> words;
                std::vector<const std::uint16_t*> wordRows;
                for (const auto& row : bytes) {
                    words.emplace_back(row.size());
                    C::widenBytes(row.data(), row.size(), words.back().data());
                    EXPECT_TRUE(std::equal(row.begin(), row.end(), words.back().begin()))
                        << hwy::TargetName(target);
                    wordRows.push_back(words.back().data());
                }
                std::vector<std::uint8_t> got(length, 0);
                C::accumulateWords(wordRows.data(), weights.data(), taps, 0, length, inverse, got.data());
                EXPECT_EQ(got, want) << hwy::TargetName(target) << ", " << taps << " taps, " << length;
            }
            hwy::SetSupportedTargetsForTest(0);
        }
    }
}

// Both passes of the integer kernel one sample at a time, the edge pixels repeating, rounded to bytes
// after each pass.
std::vector<std::uint8_t> blurredOneByOne(const std::vector<std::uint8_t>& bytes, int w, int h,
                                          const IntegerKernel& kernel) {
    const int taps = int(kernel.weights.size()), half = taps / 2;
    auto pass = [&](const std::vector<std::uint8_t>& in, bool vertical) {
        std::vector<std::uint8_t> out(in.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c) {
                    std::int32_t sum = 0;
                    for (int k = 0; k < taps; ++k) {
                        const int sx = vertical ? x : std::clamp(x + k - half, 0, w - 1);
                        const int sy = vertical ? std::clamp(y + k - half, 0, h - 1) : y;
                        sum += kernel.weights[std::size_t(k)] * in[(std::size_t(sy) * w + sx) * 4 + c];
                    }
                    const float v = float(sum) * (1.0f / float(kernel.divisor)) + 0.5f;
                    out[(std::size_t(y) * w + x) * 4 + c] = std::uint8_t(std::min(v, 255.0f));
                }
        return out;
    };
    return pass(pass(bytes, true), false);
}

// A whole blur gives the portable bytes on every instruction set, with an even and an odd number of
// mirrored pairs (the centre on its own, or in a step with the last pair).
TEST(Convolution, TheBlurIsTheSameOnEveryInstructionSet) {
    auto source = patternBitmap(157, 71);
    for (const IntegerKernel& kernel : {IntegerKernel{{2, 9, 40, 120, 255, 120, 40, 9, 2}, 597},
                                        IntegerKernel{{20, 90, 200, 255, 200, 90, 20}, 875}}) {
        const std::vector<std::uint8_t> want = blurredOneByOne(bytesOf(*source), 157, 71, kernel);
        for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
            hwy::SetSupportedTargetsForTest(target);
            auto got = ImageEngine::convolvedCopy(*source, kernel);
            ASSERT_TRUE(got);
            EXPECT_EQ(bytesOf(*got), want) << hwy::TargetName(target) << ", " << kernel.weights.size();
        }
        // Every target again for the next kernel.
        hwy::SetSupportedTargetsForTest(0);
    }
}

} // namespace
