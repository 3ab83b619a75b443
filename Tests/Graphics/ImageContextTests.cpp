#include <Foundation/Log.h>
#include <Graphics/ImageContext.h>
#include <Support/ScreenScaleGuard.h>
#include <gtest/gtest.h>
#include <optional>

using namespace Graphics;

namespace {

// A 3 × 2 picture whose pixels are numbered in their red channel: 10 20 30 / 40 50 60.
std::shared_ptr<BitmapImage> numbered(ImageOrientation orientation) {
    auto bitmap = Bitmap::create(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(10 * (y * 3 + x + 1));
            p[3] = 255;
        }
    return BitmapImage::create(bitmap, 1.0, orientation);
}

std::vector<int> reds(const Bitmap& bitmap) {
    std::vector<int> values;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            values.push_back(bitmap.row(y)[x * 4]);
    return values;
}

} // namespace

TEST(ImageContext, OrientationTurnsThePictureUpright) {
    // What a viewer sees for each orientation of the same stored pixels.
    const std::pair<ImageOrientation, std::vector<int>> cases[] = {
        {ImageOrientation::Up, {10, 20, 30, 40, 50, 60}},
        {ImageOrientation::Down, {60, 50, 40, 30, 20, 10}},
        {ImageOrientation::UpMirrored, {30, 20, 10, 60, 50, 40}},
        {ImageOrientation::DownMirrored, {40, 50, 60, 10, 20, 30}},
        {ImageOrientation::Right, {40, 10, 50, 20, 60, 30}},         // turned a quarter clockwise
        {ImageOrientation::Left, {30, 60, 20, 50, 10, 40}},          // a quarter counter-clockwise
        {ImageOrientation::LeftMirrored, {10, 40, 20, 50, 30, 60}},  // transposed
        {ImageOrientation::RightMirrored, {60, 30, 50, 20, 40, 10}}, // transposed the other way
    };
    for (const auto& [orientation, expected] : cases) {
        auto image = numbered(orientation);
        auto context = ImageContext::create(image->size(), Graphics::Opacity::Translucent, 1.0);
        ASSERT_TRUE(context);
        context->drawImage(*image, {0, 0, image->size().width, image->size().height});
        EXPECT_EQ(reds(context->bitmap()), expected) << static_cast<int>(orientation);
    }
}

TEST(ImageContext, ReductionAveragesTheCoveredArea) {
    // A one-pixel checkerboard brought down 8× must be flat mid-grey, not a moiré of black and white.
    auto bitmap = Bitmap::create(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = p[1] = p[2] = (x + y) % 2 ? 255 : 0;
            p[3] = 255;
        }
    auto image = BitmapImage::create(bitmap);
    auto context = ImageContext::create({4, 4}, Graphics::Opacity::Translucent, 2.0);
    ASSERT_TRUE(context);
    ASSERT_EQ(context->bitmap().width(), 8);
    context->drawImage(*image, {0, 0, 4, 4});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_NEAR(context->bitmap().row(y)[x * 4], 128, 3) << x << "," << y;
    auto result = context->makeImage();
    EXPECT_EQ(result->scale(), 2.0);
    EXPECT_EQ(result->size(), (Size{4, 4}));
}

TEST(ImageContext, ScaleZeroUsesTheMainScreenAndBadSizesAnswerNil) {
    {
        TestSupport::MainScreenScale screenScale(3.0);
        auto context = ImageContext::create({10, 5}, Graphics::Opacity::Opaque, 0.0);
        ASSERT_TRUE(context);
        EXPECT_EQ(context->bitmap().width(), 30);
        EXPECT_EQ(context->bitmap().height(), 15);
        EXPECT_EQ(context->bitmap().row(0)[3], 255);
    }
    Foundation::LogCapture capture;
    EXPECT_EQ(ImageContext::create({0, 5}, Graphics::Opacity::Translucent, 1.0), nullptr);
    EXPECT_EQ(ImageContext::create({5, 5}, Graphics::Opacity::Translucent, -1.0), nullptr);
    EXPECT_EQ(ImageContext::create({std::nan(""), 5}, Graphics::Opacity::Translucent, 1.0), nullptr);
}

TEST(ImageContext, DrawingIsClippedAndCompositedSourceOver) {
    auto red = Bitmap::create(2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            std::uint8_t* p = red->mutableRow(y) + x * 4;
            p[0] = 128, p[3] = 128; // half-transparent red, premultiplied
        }
    auto context = ImageContext::create({4, 4}, Graphics::Opacity::Opaque, 1.0);
    // Half of it hangs off the left edge; the rest lands on opaque black.
    context->drawImage(*BitmapImage::create(red), {-2, 0, 4, 4});
    EXPECT_EQ(context->bitmap().row(0)[0], 128);
    EXPECT_EQ(context->bitmap().row(0)[3], 255);
    EXPECT_EQ(context->bitmap().row(0)[2 * 4], 0);
}
