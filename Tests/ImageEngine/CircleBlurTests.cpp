// The circle blur's filters: bytes read straight from a bitmap against bytes rendered through the
// float pipeline, and what they refuse.
#include "ImageEngine/Support.h"

#include <Foundation/Log.h>
#include <ImageEngine/Convolution.h>
#include <ImageEngine/FilterNames.h>
#include <cstring>
#include <gtest/gtest.h>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

ImagePtr applyFilter(FilterName name, std::initializer_list<std::pair<InputKey, FilterValue>> inputs) {
    auto filter = Filter::create(name);
    for (const auto& [key, value] : inputs)
        filter->setValue(key, value);
    return filter->outputImage();
}

// Every level in every channel, with a band of translucent pixels (premultiplied: colour at most
// alpha) that a byte read must not take as they are.
std::shared_ptr<Graphics::Bitmap> levelsBitmap(Graphics::AlphaInfo alphaInfo) {
    auto bitmap = Graphics::Bitmap::create(64, 48, Graphics::PixelFormat::RGBA8, alphaInfo);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            const int level = (y * 64 + x) % 256;
            const std::uint8_t alpha = y >= 20 && y < 24 ? std::uint8_t(128 + x) : 255;
            p[0] = std::uint8_t(level * alpha / 255);
            p[1] = std::uint8_t((255 - level) * alpha / 255);
            p[2] = std::uint8_t((level * 7 % 256) * alpha / 255);
            p[3] = alpha;
        }
    return bitmap;
}

ImagePtr circleBlurOf(const ImagePtr& photo) {
    auto art = imageOf(solidBitmap(8, 8, 0, 0, 0));
    const Rect extent = photo->extent();
    auto mask =
        applyFilter(Filters::stretchedMask,
                    {{Inputs::image, art},
                     {Inputs::rectangle, Vector::make(extent.minX() + 10, extent.minY() + 5, 30, 20)}});
    return applyFilter(Filters::circleBlur,
                       {{Inputs::image, photo}, {Inputs::maskImage, mask}, {Inputs::kernelSize, 9.0}});
}

// A photo read as bytes (straight from an untouched or turned bitmap) blurs to the same bytes as the
// same photo rendered through the float pipeline first (an exposure of 0 stops changes nothing but
// keeps the byte read from seeing the bitmap).
TEST(CircleBlurFilter, ByteReadsGiveTheRenderedBytes) {
    for (auto alphaInfo : {Graphics::AlphaInfo::PremultipliedLast, Graphics::AlphaInfo::NoneSkipLast}) {
        for (auto turn :
             {Graphics::AffineTransform::identity(), Graphics::AffineTransform{0, 1, -1, 0, 48, 0},
              Graphics::AffineTransform{-1, 0, 0, 1, 64, 0}}) {
            auto photo = imageOf(levelsBitmap(alphaInfo))->imageByApplyingTransform(turn);
            auto rendered = applyFilter(Filters::exposureAdjust, {{Inputs::image, photo}, {Inputs::ev, 0.0}});
            const Rect rect = photo->extent();
            auto direct = render(circleBlurOf(photo), rect);
            auto general = render(circleBlurOf(rendered), rect);
            ASSERT_TRUE(direct);
            ASSERT_TRUE(general);
            EXPECT_EQ(bytesOf(*direct), bytesOf(*general))
                << "alpha info " << int(alphaInfo) << ", turn " << turn.b;
        }
    }
}

// What cannot be blurred or drawn gives no output and says so once.
TEST(CircleBlurFilter, RefusesArtThatIsNotABitmapAndPhotosWithoutEdges) {
    auto photo = imageOf(patternBitmap(8, 8));
    {
        Foundation::LogCapture capture;
        auto recipe = applyFilter(Filters::exposureAdjust, {{Inputs::image, photo}});
        EXPECT_FALSE(applyFilter(Filters::stretchedMask, {{Inputs::image, recipe}}));
        EXPECT_EQ(capture.lines().size(), 1u);
    }
    {
        Foundation::LogCapture capture;
        auto plane = applyFilter(Filters::radialGradient, {});
        EXPECT_FALSE(
            applyFilter(Filters::circleBlur,
                        {{Inputs::image, plane}, {Inputs::maskImage, photo}, {Inputs::kernelSize, 9.0}}));
        EXPECT_EQ(capture.lines().size(), 1u);
    }
    // Without art the mask is white: the photo comes back blurred, as the integer kernel alone blurs it.
    auto white = applyFilter(Filters::stretchedMask, {});
    auto blurred =
        render(applyFilter(Filters::circleBlur,
                           {{Inputs::image, photo}, {Inputs::maskImage, white}, {Inputs::kernelSize, 5.0}}),
               Rect(0, 0, 8, 8));
    auto expected = render(photo, Rect(0, 0, 8, 8));
    ASSERT_EQ(convolveSeparably(*expected, integerGaussianKernel(5)), ConvolutionResult::Done);
    ASSERT_TRUE(blurred);
    EXPECT_EQ(bytesOf(*blurred), bytesOf(*expected));
}

} // namespace
