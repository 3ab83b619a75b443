#include "EditorTestSupport.h"

#include <Foundation/Log.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace EditorTest;

namespace {

// ---- Rotate: the matrix after a sequence of requests, and where a point lands -----------------

struct RotateCase {
    const char* sequence; // c = clockwise, a = counter-clockwise, h / v = flips
    Graphics::Point mapsOneTwoTo;
    int flipDirection;
    int rotateDirection;
};

class RotateSequence : public testing::TestWithParam<RotateCase> {};

void apply(RUXRotateTransformation& rotate, const std::string& sequence) {
    using R = RUXRotateTransformation;
    for (char step : sequence)
        (rotate.*(step == 'c'   ? &R::rotateClockwise90Degrees
                  : step == 'a' ? &R::rotateCounterClockwise90Degrees
                  : step == 'h' ? &R::flipHorizontal
                                : &R::flipVertical))();
}

TEST_P(RotateSequence, MatrixAndSigns) {
    const RotateCase& c = GetParam();
    RUXRotateTransformation rotate;
    apply(rotate, c.sequence);
    Graphics::Point p = rotate.transformMatrix().applyToPoint({1, 2});
    EXPECT_NEAR(p.x, c.mapsOneTwoTo.x, 1e-12) << c.sequence;
    EXPECT_NEAR(p.y, c.mapsOneTwoTo.y, 1e-12) << c.sequence;
    EXPECT_EQ(rotate.flipDirection(), c.flipDirection);
    EXPECT_EQ(rotate.rotateDirection(), c.rotateDirection);
    EXPECT_EQ(rotate.transformMatrix().tx, 0);
    EXPECT_EQ(rotate.transformMatrix().ty, 0);

    // A copy continues in the same on-screen direction as its source.
    auto copy = std::static_pointer_cast<RUXRotateTransformation>(rotate.copy());
    copy->rotateClockwise90Degrees();
    rotate.rotateClockwise90Degrees();
    EXPECT_EQ(copy->transformMatrix(), rotate.transformMatrix());
}

INSTANTIATE_TEST_SUITE_P(
    Rotate, RotateSequence,
    testing::Values(RotateCase{"", {1, 2}, 1, 1},
                    // Clockwise: (x, y) → (y, −x).
                    RotateCase{"c", {2, -1}, -1, 1},
                    // Then a horizontal flip of the displayed picture: (x, y) → (−y, −x).
                    RotateCase{"ch", {-2, -1}, -1, -1},
                    // And clockwise again turns the displayed picture clockwise: +π/2 at the source.
                    RotateCase{"chc", {-1, 2}, 1, -1}, RotateCase{"cccc", {1, 2}, 1, 1},
                    RotateCase{"hh", {1, 2}, 1, 1}, RotateCase{"v", {1, -2}, 1, -1},
                    RotateCase{"a", {-2, 1}, -1, 1}, RotateCase{"ca", {1, 2}, 1, 1}));

TEST(Rotate, QuarterTurnKeepsThePlatformResidue) {
    RUXRotateTransformation rotate;
    rotate.rotateClockwise90Degrees();
    // The off-axis entries carry cos(π/2) rather than an exact zero, as the platform's do.
    EXPECT_NE(rotate.transformMatrix().a, 0);
    EXPECT_NEAR(rotate.transformMatrix().a, 0, 1e-16);
    EXPECT_EQ(rotate.transformMatrix().b, -1);
}

TEST(Rotate, ResultMovesTheExtentAndReplacesTheRecordedMatrix) {
    RUXRotateTransformation rotate;
    rotate.rotateClockwise90Degrees();
    RUXImageMetadata metadata;
    metadata.setAppliedAffineTransform(Graphics::AffineTransform::makeScale(3, 3));
    auto result = rotate.resultFromImage(solidImage(6, 4, {1, 2, 3, 255}), metadata);
    ASSERT_TRUE(result);
    Graphics::Rect e = result->extent();
    EXPECT_NEAR(e.origin.x, 0, 1e-9);
    EXPECT_NEAR(e.origin.y, -6, 1e-9);
    EXPECT_NEAR(e.width(), 4, 1e-9);
    EXPECT_NEAR(e.height(), 6, 1e-9);
    EXPECT_EQ(metadata.appliedAffineTransform(), rotate.transformMatrix());
}

// ---- Normalize ---------------------------------------------------------------------------------

TEST(Normalize, MovesToOriginAndRecordsTheRemovedOffset) {
    RUXRotateTransformation rotate;
    rotate.rotateClockwise90Degrees();
    RUXImageMetadata metadata;
    auto turned = rotate.resultFromImage(solidImage(6, 4, {1, 2, 3, 255}), metadata);
    RUXNormalizeTransformation normalize;
    auto result = normalize.resultFromImage(turned, metadata);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->extent().origin.x, 0, 1e-9);
    EXPECT_NEAR(result->extent().origin.y, 0, 1e-9);
    EXPECT_NEAR(result->extent().width(), 4, 1e-9);
    EXPECT_NEAR(metadata.translateX(), 0, 1e-9);
    EXPECT_NEAR(metadata.translateY(), -6, 1e-9);
    EXPECT_EQ(normalize.resultFromImage(nullptr, metadata), nullptr);
}

// ---- Crop: chosen on the displayed picture, rendered at every resolution and rotation ---------

struct CropCase {
    const char* rotation;
    int displayedSourceWidth, displayedSourceHeight; // the screen-resolution source
    int renderedSourceWidth, renderedSourceHeight;   // the resolution it is rendered at
};

class CropRoundTrip : public testing::TestWithParam<CropCase> {};

// Runs rotate (if any), crop and normalisation over a source of the given size.
ImageEngine::ImagePtr renderGeometry(const std::shared_ptr<RUXRotateTransformation>& rotate,
                                     const std::shared_ptr<RUXCropTransformation>& crop, int w, int h,
                                     RUXImageMetadata& metadata) {
    // Each pixel's colour names its source position, so the framing can be read back.
    ImageEngine::ImagePtr image = makeImage(w, h, [](int x, int y) {
        return Rgba{std::uint8_t(x % 256), std::uint8_t(y % 256), 0, 255};
    });
    if (rotate) {
        image = rotate->resultFromImage(image, metadata);
    }
    if (crop) {
        image = crop->resultFromImage(image, metadata);
    }
    return RUXNormalizeTransformation().resultFromImage(image, metadata);
}

TEST_P(CropRoundTrip, SameRegionOfThePhoto) {
    const CropCase& c = GetParam();
    auto rotate = std::make_shared<RUXRotateTransformation>();
    apply(*rotate, c.rotation);

    // The crop screen's picture: the screen-resolution source rotated and normalised.
    RUXImageMetadata shown;
    auto picture = renderGeometry(rotate, nullptr, c.displayedSourceWidth, c.displayedSourceHeight, shown);
    const double W = picture->extent().width(), H = picture->extent().height();
    // Frame an off-centre area of the displayed picture (top-left coordinates), in whole pixels
    // at every resolution of the table.
    const double x = W / 8, y = H / 4, w = W / 2, h = H / 4;
    auto crop = std::make_shared<RUXCropTransformation>();
    crop->setCropRect(Graphics::Rect(x, H - y - h, w, h), Graphics::Rect(0, 0, W, H), shown);
    EXPECT_NEAR(crop->originalRect().width(), c.displayedSourceWidth, 1e-9);
    EXPECT_NEAR(crop->originalRect().height(), c.displayedSourceHeight, 1e-9);

    RUXImageMetadata rendered;
    auto result = renderGeometry(rotate, crop, c.renderedSourceWidth, c.renderedSourceHeight, rendered);
    ASSERT_TRUE(result);
    const double f = double(c.renderedSourceWidth) / c.displayedSourceWidth;
    EXPECT_NEAR(result->extent().width(), w * f, 1e-6);
    EXPECT_NEAR(result->extent().height(), h * f, 1e-6);

    // The top-left pixel of the crop is the source pixel under the framed top-left corner.
    auto bitmap = render(result);
    ASSERT_TRUE(bitmap);
    RUXImageMetadata plain;
    auto full = render(renderGeometry(rotate, nullptr, c.renderedSourceWidth, c.renderedSourceHeight, plain));
    ASSERT_TRUE(full);
    EXPECT_EQ(pixel(*bitmap, 0, 0), pixel(*full, int(std::lround(x * f)), int(std::lround(y * f))));
}

INSTANTIATE_TEST_SUITE_P(Crop, CropRoundTrip,
                         testing::Values(CropCase{"", 960, 640, 1536, 1024},
                                         CropCase{"c", 960, 640, 1536, 1024},
                                         CropCase{"ch", 960, 640, 1536, 1024}, CropCase{"a", 96, 64, 48, 32},
                                         CropCase{"cc", 96, 64, 96, 64}, CropCase{"v", 96, 64, 240, 160}));

TEST(Crop, UnrotatedRectangleIsStoredAndRescaled) {
    RUXCropTransformation crop;
    RUXImageMetadata identity;
    crop.setCropRect(Graphics::Rect(30, 40, 300, 200), Graphics::Rect(0, 0, 960, 640), identity);
    EXPECT_EQ(crop.cropRect(), Graphics::Rect(30, 40, 300, 200));
    EXPECT_EQ(crop.originalRect(), Graphics::Rect(0, 0, 960, 640));
    RUXImageMetadata metadata;
    auto result = crop.resultFromImage(solidImage(1536, 1024, {9, 9, 9, 255}), metadata);
    EXPECT_EQ(result->extent(), Graphics::Rect(48, 64, 480, 320));
}

TEST(Crop, LaterQuarterTurnKeepsTheRegion) {
    // Crop chosen with no rotation; a clockwise turn committed afterwards shows the same photo area.
    auto crop = std::make_shared<RUXCropTransformation>();
    RUXImageMetadata identity;
    crop->setCropRect(Graphics::Rect(10, 20, 30, 16), Graphics::Rect(0, 0, 96, 64), identity);
    RUXImageMetadata before, after;
    auto unturned = render(renderGeometry(nullptr, crop, 96, 64, before));
    auto rotate = std::make_shared<RUXRotateTransformation>();
    rotate->rotateClockwise90Degrees();
    auto turned = render(renderGeometry(rotate, crop, 96, 64, after));
    ASSERT_TRUE(unturned && turned);
    ASSERT_EQ(turned->width(), unturned->height());
    // Turning the picture clockwise puts its bottom-left corner at the top-left.
    EXPECT_EQ(pixel(*turned, 0, 0), pixel(*unturned, 0, unturned->height() - 1));
}

TEST(Crop, MisplacedOriginIsReportedAndEmptyFramingPassesThrough) {
    Foundation::LogCapture capture;
    RUXCropTransformation crop;
    RUXImageMetadata metadata;
    auto image = solidImage(8, 8, {1, 1, 1, 255});
    // A fresh crop has no framing: the image is left alone rather than divided by zero.
    EXPECT_EQ(crop.resultFromImage(image, metadata), image);
    crop.setCropRect(Graphics::Rect(0, 0, 4, 4), Graphics::Rect(1, 2, 8, 8), metadata);
    EXPECT_TRUE(
        capture.contains("Original rectangle must start at (0, 0) but starts at (1.000000, 2.000000)"));
}

// ---- Colour adjustments -----------------------------------------------------------------------

TEST(ScalarAdjustments, DefaultsAreNeutralAndExtremesAct) {
    auto photo = makeImage(4, 4, [](int x, int y) {
        return Rgba{std::uint8_t(40 * x), 200, std::uint8_t(50 * y), 255};
    });
    auto reference = render(photo);
    std::vector<std::shared_ptr<RUXScalarTransformation>> adjustments{
        std::make_shared<RUXBrightnessTransformation>(), std::make_shared<RUXSaturationTransformation>(),
        std::make_shared<RUXContrastTransformation>()};
    for (auto& adjustment : adjustments) {
        RUXImageMetadata metadata;
        auto out = render(adjustment->resultFromImage(photo, metadata));
        ASSERT_TRUE(out);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                EXPECT_LE(maxDifference(pixel(*out, x, y), pixel(*reference, x, y)), 1);
            }
        }
        auto copy = std::static_pointer_cast<RUXScalarTransformation>(adjustment->copy());
        copy->setValue(5.0f);
        EXPECT_EQ(copy->value(), 5.0f);
        EXPECT_EQ(adjustment->value(), adjustment->defaultValue());
    }
    RUXSaturationTransformation grey;
    grey.setValue(0);
    RUXImageMetadata metadata;
    Rgba p = pixel(*render(grey.resultFromImage(solidImage(2, 2, {200, 40, 90, 255}), metadata)), 0, 0);
    EXPECT_LE(std::abs(p[0] - p[1]), 1);
    EXPECT_LE(std::abs(p[1] - p[2]), 1);
    RUXBrightnessTransformation darker;
    darker.setValue(-2);
    p = pixel(*render(darker.resultFromImage(solidImage(2, 2, {200, 200, 200, 255}), metadata)), 0, 0);
    EXPECT_LT(p[0], 140);
}

} // namespace
