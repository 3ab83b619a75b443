#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <gtest/gtest.h>
#include <string>

using namespace Graphics;

namespace {

// One memory row's red channel as a string of '#' (255), '.' (0) and '+' (anything between).
std::string redRow(const Bitmap& bitmap, int row) {
    std::string out;
    for (int x = 0; x < bitmap.width(); ++x) {
        const int v = bitmap.row(row)[x * bitmap.bytesPerPixel()];
        out += v == 255 ? '#' : v == 0 ? '.' : '+';
    }
    return out;
}

} // namespace

TEST(BitmapContext, DashedLineWithSquareCapsLandsOnWholePixels) {
    // The crop grid's dashed line: width 1, square caps, 3 on and 3 off, drawn half a unit in from the
    // pixel grid so that it covers whole pixels.
    auto context = BitmapContext::create(24, 4);
    context->setStrokeColor(Color::white());
    context->setLineWidth(1);
    context->setLineCap(LineCap::Square);
    context->setLineDash(0, {3, 3});
    context->moveToPoint({0.5, 1.5});
    context->addLineToPoint({24.5, 1.5});
    context->strokePath();
    // Device y 1…2 is memory row 4 − 1 − 1. Each 3-unit dash grows by half a unit at each end.
    EXPECT_EQ(redRow(context->bitmap(), 2), "####..####..####..####..");
    EXPECT_EQ(redRow(context->bitmap(), 1), "........................");
    EXPECT_EQ(redRow(context->bitmap(), 3), "........................");

    // A phase shifts the pattern along the line.
    auto shifted = BitmapContext::create(12, 1);
    shifted->setStrokeColor(Color::white());
    shifted->setLineDash(3, {3, 3});
    shifted->moveToPoint({0, 0.5});
    shifted->addLineToPoint({12, 0.5});
    shifted->strokePath();
    EXPECT_EQ(redRow(shifted->bitmap(), 0), "...###...###");
}

TEST(BitmapContext, StrokedRectInsideItsBoundsAndAntialiasedFill) {
    auto context = BitmapContext::create(6, 6);
    context->setStrokeColor(Color::white());
    context->setLineWidth(2);
    context->strokeRect({1, 1, 4, 4}); // a 2-wide border just inside (0, 0, 6, 6)
    EXPECT_EQ(redRow(context->bitmap(), 0), "######");
    EXPECT_EQ(redRow(context->bitmap(), 2), "##..##");
    EXPECT_EQ(redRow(context->bitmap(), 5), "######");

    auto half = BitmapContext::create(4, 1);
    half->setFillColor(Color::white());
    half->fillRect({0.5, 0, 2, 1});
    const Bitmap& b = half->bitmap();
    EXPECT_NEAR(b.row(0)[0], 128, 1);
    EXPECT_EQ(b.row(0)[4], 255);
    EXPECT_NEAR(b.row(0)[8], 128, 1);
    EXPECT_NEAR(b.row(0)[11], 128, 1); // alpha follows coverage
    EXPECT_EQ(b.row(0)[12], 0);
}

TEST(BitmapContext, StateClipAndTransformAreSavedAndRestored) {
    auto context = BitmapContext::create(8, 8);
    context->saveGState();
    context->translateCTM(4, 4);
    context->scaleCTM(2, 2);
    context->clipToRect({0, 0, 1, 1});
    context->setFillColor(Color::white());
    context->fillRect({-10, -10, 20, 20}); // clipped to device (4, 4, 2, 2)
    context->restoreGState();
    context->restoreGState(); // unbalanced: ignored
    EXPECT_EQ(redRow(context->bitmap(), 2), "....##..");
    EXPECT_EQ(redRow(context->bitmap(), 3), "....##..");
    EXPECT_EQ(redRow(context->bitmap(), 4), "........");
    context->fillRect({0, 0, 1, 1}); // default fill colour again: black, opaque
    EXPECT_EQ(context->bitmap().row(7)[3], 255);
    EXPECT_EQ(context->bitmap().row(7)[0], 0);
}

TEST(BitmapContext, ImagesDrawUprightInAYUpContext) {
    // A 1 × 2 image, white on top of black, drawn into a y-up context, keeps white on top.
    auto pixels = Bitmap::create(1, 2);
    std::uint8_t* top = pixels->mutableRow(0);
    top[0] = top[1] = top[2] = top[3] = 255;
    pixels->mutableRow(1)[3] = 255;
    auto image = BitmapImage::create(pixels);
    auto context = BitmapContext::create(1, 4);
    context->drawImage({0, 0, 1, 4}, *image);
    EXPECT_EQ(context->bitmap().row(0)[0], 255);
    EXPECT_EQ(context->bitmap().row(3)[0], 0);
}

TEST(BitmapContext, MasksPaintWithOneMinusTheSample) {
    // Mask samples 0, 128 and 255: shown fully, half, hidden.
    auto mask = Bitmap::create(3, 1, PixelFormat::Gray8);
    mask->mutableRow(0)[0] = 0, mask->mutableRow(0)[1] = 128, mask->mutableRow(0)[2] = 255;
    auto red = Bitmap::create(3, 1);
    for (int x = 0; x < 3; ++x)
        red->mutableRow(0)[x * 4] = 255, red->mutableRow(0)[x * 4 + 3] = 255;
    auto masked = createMaskedImage(*BitmapImage::create(red), createImageMask(*mask));
    ASSERT_TRUE(masked);
    const std::uint8_t* m = masked->bitmap()->row(0);
    EXPECT_EQ(m[3], 255);
    EXPECT_EQ(m[7], 127);
    EXPECT_EQ(m[11], 0);
    EXPECT_EQ(m[4], 127); // premultiplied colour scales with it

    // Drawn over blue, the half-masked pixel mixes the two.
    auto over = BitmapContext::create(3, 1, Graphics::Opacity::Opaque);
    over->setFillColor({0, 0, 1, 1});
    over->fillRect({0, 0, 3, 1});
    over->drawImage({0, 0, 3, 1}, *masked);
    EXPECT_NEAR(over->bitmap().row(0)[4], 127, 1);
    EXPECT_NEAR(over->bitmap().row(0)[6], 128, 1);
}

TEST(BitmapContext, OnlyAGreyBitmapMakesAMask) {
    auto red = Bitmap::create(3, 1);
    Foundation::LogCapture capture;
    EXPECT_EQ(createImageMask(*red), nullptr);
    EXPECT_EQ(createMaskedImage(*BitmapImage::create(red), nullptr), nullptr);
}

TEST(Path, CurvesAndRoundedRectsStayInsideTheirBounds) {
    Path path;
    path.addRoundedRect({10, 20, 30, 40}, 8);
    path.addEllipseInRect({0, 0, 10, 10});
    const Rect box = path.boundingBox();
    EXPECT_NEAR(box.minX(), 0, 1e-9);
    EXPECT_NEAR(box.maxX(), 40, 1e-9);
    EXPECT_NEAR(box.maxY(), 60, 1e-9);
    auto context = BitmapContext::create(20, 20);
    Path circle;
    circle.addEllipseInRect({0, 0, 20, 20});
    context->setFillColor(Color::white());
    context->fillPath(circle);
    EXPECT_EQ(context->bitmap().row(10)[10 * 4], 255);
    EXPECT_EQ(context->bitmap().row(0)[0], 0);
    // Even-odd leaves the hole of a ring open.
    auto ring = BitmapContext::create(20, 20);
    Path twice;
    twice.addEllipseInRect({0, 0, 20, 20});
    twice.addEllipseInRect({5, 5, 10, 10});
    ring->setFillColor(Color::white());
    ring->fillPath(twice, FillRule::EvenOdd);
    EXPECT_EQ(ring->bitmap().row(10)[10 * 4], 0);
    EXPECT_EQ(ring->bitmap().row(10)[2 * 4], 255);
}
