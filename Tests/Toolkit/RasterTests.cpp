// White-box tests of the compositor's pixel loops and dirty-area bookkeeping.
#include "Render/DirtyRegion.h"
#include "Render/Raster.h"

#include <Graphics/BitmapContext.h>
#include <gtest/gtest.h>

using namespace Toolkit;

namespace {

TEST(DirtyRegion, DropsCoveredAreasAndMergesOnlyWhenSmaller) {
    DirtyRegion region;
    region.setBounds({0, 0, 100, 100});
    region.add({10, 10, 20, 20});
    region.add({12, 12, 18, 18}); // covered
    EXPECT_EQ(region.count(), 1u);
    region.add({0, 0, 50, 50}); // covers the first
    ASSERT_EQ(region.count(), 1u);
    EXPECT_EQ(region[0], (PixelRect{0, 0, 50, 50}));
    region.add({80, 80, 90, 90}); // far away: kept apart
    EXPECT_EQ(region.count(), 2u);
    region.add({50, 0, 60, 50}); // adjacent: the union is no larger than both
    EXPECT_EQ(region.count(), 2u);
    region.add({-50, -50, 0, 0}); // off screen
    region.add({95, 95, 200, 200});
    EXPECT_EQ(region.count(), 3u);
    EXPECT_EQ(region[2], (PixelRect{95, 95, 100, 100}));
}

TEST(DirtyRegion, OverflowBecomesOneFullArea) {
    DirtyRegion region;
    region.setBounds({0, 0, 1000, 1000});
    for (int i = 0; i < 40; ++i)
        region.add({i * 25, i * 25, i * 25 + 2, i * 25 + 2});
    ASSERT_LE(region.count(), DirtyRegion::kCapacity);
    bool full = false;
    for (std::size_t i = 0; i < region.count(); ++i)
        full |= region[i] == PixelRect{0, 0, 1000, 1000};
    EXPECT_TRUE(full);
}

std::shared_ptr<Graphics::Bitmap> pattern(int w, int h, bool opaque) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            const int a = opaque ? 255 : (x * 97 + y * 31) % 256;
            p[0] = static_cast<std::uint8_t>((x * 53 + y * 17) % 256 * a / 255);
            p[1] = static_cast<std::uint8_t>((x * 11 + y * 71) % 256 * a / 255);
            p[2] = static_cast<std::uint8_t>((x * 29 + y * 5) % 256 * a / 255);
            p[3] = static_cast<std::uint8_t>(a);
        }
    return bitmap;
}

struct BlitCase {
    bool opaque;
    Graphics::Rect destination; // pixels, top-left origin
};

class BlitOracleTest : public ::testing::TestWithParam<BlitCase> {};

// The compositor's bilinear blit against the drawing context's general image drawing.
TEST_P(BlitOracleTest, MatchesTheDrawingContext) {
    const BlitCase& c = GetParam();
    auto source = pattern(7, 5, c.opaque);
    auto image = Graphics::BitmapImage::create(source);
    auto fast = Graphics::BitmapContext::create(40, 30);
    auto general = Graphics::BitmapContext::create(40, 30);
    // The context's device space runs up: flip the rect.
    const Graphics::Rect flipped{c.destination.minX(), 30 - c.destination.maxY(), c.destination.width(),
                                 c.destination.height()};
    general->drawImage(flipped, *image);
    drawBitmap(fast->bitmap(), *source, c.destination, {0, 0, 40, 30}, 1.0);
    int worst = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 160; ++x)
            worst = std::max(worst, std::abs(fast->bitmap().row(y)[x] - general->bitmap().row(y)[x]));
    EXPECT_LE(worst, 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, BlitOracleTest,
                         ::testing::Values(BlitCase{true, {0, 0, 7, 5}}, BlitCase{true, {3.5, 2.25, 30, 20}},
                                           BlitCase{false, {1, 1, 35, 25}}, BlitCase{false, {10, 5, 4, 3}},
                                           BlitCase{true, {-5, -3, 50, 40}}));

TEST(Raster, FillCoversEdgePixelsPartlyAndStaysInTheClip) {
    auto bitmap = Graphics::Bitmap::create(8, 4);
    fillRect(*bitmap, {1.5, 0, 4, 4}, {0, 0, 5, 4}, PremultipliedColor::from({1, 1, 1, 1}));
    EXPECT_EQ(bitmap->row(1)[0 * 4 + 3], 0);
    EXPECT_EQ(bitmap->row(1)[1 * 4 + 3], 128);
    EXPECT_EQ(bitmap->row(1)[2 * 4 + 3], 255);
    EXPECT_EQ(bitmap->row(1)[4 * 4 + 3], 255);
    EXPECT_EQ(bitmap->row(1)[5 * 4 + 3], 0); // clipped, though the rect reaches 5.5
}

} // namespace
