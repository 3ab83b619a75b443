#pragma once

#include "ImageEngine/Support.h"
#include "Pipeline/Simd.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <hwy/targets.h>

namespace EngineTest {

// Renders image over rect on each instruction set this build compiled and this processor runs, on
// tiles of the given size, and expects every byte within one level of the render on the default one.
// The kernels must really switch, or the comparison proves nothing. The targets are restored after.
inline void expectSameOnEveryTarget(const ImageEngine::ImagePtr& image, const Graphics::Rect& rect,
                                    int tileWidth = 19, int tileHeight = 11) {
    auto reference = render(image, rect);
    ASSERT_TRUE(reference);
    const auto want = bytesOf(*reference);
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        ASSERT_STREQ(ImageEngine::Simd::targetName(), hwy::TargetName(target));
        auto bitmap = render(image, rect, {.tileWidth = tileWidth, .tileHeight = tileHeight});
        ASSERT_TRUE(bitmap);
        const auto got = bytesOf(*bitmap);
        ASSERT_EQ(got.size(), want.size());
        int worst = 0;
        for (std::size_t i = 0; i < got.size(); ++i)
            worst = std::max(worst, std::abs(got[i] - want[i]));
        EXPECT_LE(worst, 1) << hwy::TargetName(target);
    }
    hwy::SetSupportedTargetsForTest(0);
}

// The same with the portable fallback's render as the reference: for kernels whose vector paths must
// agree with the plain one, not only with each other.
inline void expectSameOnEveryTargetAsPortable(const ImageEngine::ImagePtr& image, const Graphics::Rect& rect,
                                              int tileWidth = 19, int tileHeight = 11) {
    std::int64_t portable = 0;
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets())
        if (target == HWY_SCALAR || target == HWY_EMU128)
            portable = target;
    ASSERT_NE(portable, 0) << "the portable fallback is always compiled";
    hwy::SetSupportedTargetsForTest(portable);
    ASSERT_STREQ(ImageEngine::Simd::targetName(), hwy::TargetName(portable));
    expectSameOnEveryTarget(image, rect, tileWidth, tileHeight);
}

} // namespace EngineTest
