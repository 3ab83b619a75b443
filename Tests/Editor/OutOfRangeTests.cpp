// Values no screen would produce, given through the core's public entries: each has one defined
// result, and none may crash, hang or hand the engine a NaN.

#include "EditorTestSupport.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace EditorTest;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Black, white, mid-grey and two colours side by side, so that one render shows every end.
ImageEngine::ImagePtr swatches() {
    return makeImage(5, 1, [](int x, int) {
        static const Rgba colours[] = {{0, 0, 0, 255},
                                       {255, 255, 255, 255},
                                       {128, 128, 128, 255},
                                       {200, 100, 50, 255},
                                       {40, 90, 160, 255}};
        return colours[x];
    });
}

ImageEngine::ImagePtr checkerboard(int w, int h) {
    return makeImage(w, h, [](int x, int y) {
        return ((x / 3 + y / 3) % 2) ? Rgba{230, 230, 230, 255} : Rgba{20, 20, 20, 255};
    });
}

bool samePixels(const Graphics::Bitmap& a, const Graphics::Bitmap& b, int tolerance = 0) {
    if (a.width() != b.width() || a.height() != b.height()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (maxDifference(pixel(a, x, y), pixel(b, x, y)) > tolerance) {
                return false;
            }
        }
    }
    return true;
}

// ---- Scalar adjustments ----------------------------------------------------------------------

struct ScalarCase {
    const RUXClass* transformationClass;
    float value;
    // The swatches after the adjustment, or empty when the input must come back untouched.
    std::vector<Rgba> expected;
};

class ScalarOutOfRange : public testing::TestWithParam<ScalarCase> {};

TEST_P(ScalarOutOfRange, HasOneDefinedResult) {
    const ScalarCase& c = GetParam();
    auto adjustment = std::static_pointer_cast<RUXScalarTransformation>(c.transformationClass->create());
    adjustment->setValue(c.value);
    // Stored as given, whatever it is.
    EXPECT_TRUE(std::isnan(c.value) ? std::isnan(adjustment->value()) : adjustment->value() == c.value);
    auto input = swatches();
    RUXImageMetadata metadata;
    EXPECT_EQ(adjustment->resultFromImage(nullptr, metadata), nullptr);
    auto result = adjustment->resultFromImage(input, metadata);
    if (c.expected.empty()) {
        EXPECT_EQ(result, input) << "a value that is not finite leaves the very input image";
        return;
    }
    auto bitmap = render(result);
    ASSERT_TRUE(bitmap);
    for (int x = 0; x < 5; ++x) {
        EXPECT_LE(maxDifference(pixel(*bitmap, x, 0), c.expected[std::size_t(x)]), 1) << "swatch " << x;
    }
}

const float kFloatNaN = std::numeric_limits<float>::quiet_NaN();
const float kFloatInfinity = std::numeric_limits<float>::infinity();
const Rgba kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255};

INSTANTIATE_TEST_SUITE_P(
    Adjustments, ScalarOutOfRange,
    testing::Values(ScalarCase{&RUXBrightnessTransformation::classDescriptor(), kFloatNaN, {}},
                    ScalarCase{&RUXBrightnessTransformation::classDescriptor(), kFloatInfinity, {}},
                    ScalarCase{&RUXSaturationTransformation::classDescriptor(), -kFloatInfinity, {}},
                    ScalarCase{&RUXContrastTransformation::classDescriptor(), kFloatNaN, {}},
                    // Far beyond the range: every non-black level goes to white, and black stays black rather
                    // than becoming 0 × ∞.
                    ScalarCase{&RUXBrightnessTransformation::classDescriptor(),
                               1e30f,
                               {kBlack, kWhite, kWhite, kWhite, kWhite}},
                    ScalarCase{&RUXBrightnessTransformation::classDescriptor(),
                               -1e30f,
                               {kBlack, kBlack, kBlack, kBlack, kBlack}},
                    // A huge power takes everything below white to black and keeps white.
                    ScalarCase{&RUXContrastTransformation::classDescriptor(),
                               1e30f,
                               {kBlack, kWhite, kBlack, kBlack, kBlack}},
                    // A huge saturation leaves greys grey and drives colours to the ends of each channel.
                    ScalarCase{&RUXSaturationTransformation::classDescriptor(),
                               1e30f,
                               {kBlack, kWhite, {128, 128, 128, 255}, {255, 0, 0, 255}, {0, 0, 255, 255}}}));

// ---- Focus blur ------------------------------------------------------------------------------

struct FocusCase {
    Graphics::Point point;
    double scale;
    enum class Full { Input, Sharp, Blurred } full;
};

class FocusBlurOutOfRange : public testing::TestWithParam<FocusCase> {};

TEST_P(FocusBlurOutOfRange, HasOneDefinedResult) {
    const FocusCase& c = GetParam();
    RUXBlurTransformation blur;
    blur.setPoint(c.point);
    blur.setScale(c.scale);
    auto input = checkerboard(48, 36);
    RUXImageMetadata metadata;
    EXPECT_EQ(blur.resultFromImage(nullptr, metadata), nullptr);
    EXPECT_EQ(blur.quickResultFromImage(nullptr, metadata), nullptr);
    auto full = blur.resultFromImage(input, metadata);
    auto quick = blur.quickResultFromImage(input, metadata);
    if (c.full == FocusCase::Full::Input) {
        EXPECT_EQ(full, input);
        EXPECT_EQ(quick, input);
        return;
    }
    auto fullBitmap = render(full);
    auto quickBitmap = render(quick);
    ASSERT_TRUE(fullBitmap && quickBitmap);
    auto sharp = render(input);
    auto blurred = render(RUXBlurTransformation::blurredImageWithSource(input));
    if (c.full == FocusCase::Full::Sharp) {
        EXPECT_TRUE(samePixels(*fullBitmap, *sharp, 1));
        EXPECT_TRUE(samePixels(*quickBitmap, *sharp, 1)) << "no veil anywhere";
    } else {
        EXPECT_TRUE(samePixels(*fullBitmap, *blurred, 1));
        // The veil lies everywhere: white at 85 % over the dark squares.
        EXPECT_NEAR(pixel(*quickBitmap, 1, 1)[0], 237, 3);
    }
}

INSTANTIATE_TEST_SUITE_P(FocusBlur, FocusBlurOutOfRange,
                         testing::Values(FocusCase{{kNaN, 0.5}, 1.0, FocusCase::Full::Input},
                                         FocusCase{{0.5, kInfinity}, 1.0, FocusCase::Full::Input},
                                         FocusCase{{0.5, 0.5}, kNaN, FocusCase::Full::Input},
                                         FocusCase{{0.5, 0.5}, -kInfinity, FocusCase::Full::Input},
                                         // Both radii 0: nothing is inside.
                                         FocusCase{{0.5, 0.5}, 0.0, FocusCase::Full::Blurred},
                                         // Negative radii: everything counts as inside.
                                         FocusCase{{0.5, 0.5}, -1.0, FocusCase::Full::Sharp},
                                         // A region larger than any picture, and one placed far off it.
                                         FocusCase{{0.5, 0.5}, 1e300, FocusCase::Full::Sharp},
                                         FocusCase{{1e300, -1e300}, 1.0, FocusCase::Full::Blurred}));

// ---- Circle blur -----------------------------------------------------------------------------

class CircleBlurOutOfRange : public testing::TestWithParam<Graphics::Point> {};

TEST_P(CircleBlurOutOfRange, PlacesTheCircleNowhere) {
    const Graphics::Point point = GetParam();
    RUXBeautifulBlurTransformation blur;
    blur.setPoint(point);
    // Long enough that the preview's fade (100 pixels out to the longer side) runs outwards.
    auto input = checkerboard(240, 160);
    RUXImageMetadata metadata;
    auto full = render(blur.resultFromImage(input, metadata));
    ASSERT_TRUE(full);
    // Blurred everywhere, exactly as the convolution alone blurs it.
    auto expected = render(input);
    RUXBeautifulBlurTransformation::convolve(*expected, RUXBeautifulBlurTransformation::kernelOfSize(
                                                            RUXBeautifulBlurTransformation::kernelSizeForSize(
                                                                expected->width(), expected->height())));
    EXPECT_TRUE(samePixels(*full, *expected, 1));
    // The stored point is not rewritten: only (0, 0) means unplaced.
    EXPECT_EQ(blur.point().x == point.x || (std::isnan(point.x) && std::isnan(blur.point().x)), true);
    // Faded to white everywhere.
    auto quick = render(blur.quickResultFromImage(input, metadata));
    ASSERT_TRUE(quick);
    EXPECT_EQ(pixel(*quick, 120, 80), kWhite);
    EXPECT_EQ(pixel(*quick, 0, 0), kWhite);
}

INSTANTIATE_TEST_SUITE_P(CircleBlur, CircleBlurOutOfRange,
                         testing::Values(Graphics::Point{kNaN, 10}, Graphics::Point{10, kInfinity},
                                         Graphics::Point{1e300, 1e300}, Graphics::Point{-1e300, 20}));

// ---- Rotate and crop -------------------------------------------------------------------------

TEST(RotateOutOfRange, MatrixWithoutInverseLeavesTheImageAndRecordsIdentity) {
    for (const Graphics::AffineTransform& matrix :
         {Graphics::AffineTransform{0, 0, 0, 0, 0, 0}, Graphics::AffineTransform{kNaN, 0, 0, 1, 0, 0},
          Graphics::AffineTransform{1, 0, 0, 1, kInfinity, 0}}) {
        RUXRotateTransformation rotate;
        rotate.setTransformMatrix(matrix);
        auto input = checkerboard(8, 6);
        RUXImageMetadata metadata;
        metadata.setAppliedAffineTransform(Graphics::AffineTransform::makeScale(-1, 1));
        EXPECT_EQ(rotate.resultFromImage(input, metadata), input);
        EXPECT_TRUE(metadata.appliedAffineTransform().isIdentity());
    }
}

struct CropCase {
    Graphics::Rect cropRect;
    Graphics::Rect originalRect;
    // The rendered size, or {-1, -1} for the input unchanged, or {0, 0} for nothing at all.
    int width, height;
};

class CropOutOfRange : public testing::TestWithParam<CropCase> {};

TEST_P(CropOutOfRange, HasOneDefinedResult) {
    const CropCase& c = GetParam();
    auto crop = std::make_shared<RUXCropTransformation>();
    crop->setCropRect(c.cropRect);
    crop->setOriginalRect(c.originalRect);
    auto input = checkerboard(40, 30);
    auto formula = RUXRenderFormula::create(input, {crop, std::make_shared<RUXNormalizeTransformation>()});
    if (c.width < 0) {
        RUXImageMetadata metadata;
        EXPECT_EQ(crop->resultFromImage(input, metadata), input);
        return;
    }
    auto bitmap = RUXImageRenderer::create()->renderedImage(formula);
    if (c.width == 0) {
        EXPECT_EQ(bitmap, nullptr) << "a framing wholly off the picture leaves nothing to render";
        return;
    }
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitmap()->width(), c.width);
    EXPECT_EQ(bitmap->bitmap()->height(), c.height);
}

INSTANTIATE_TEST_SUITE_P(Crop, CropOutOfRange,
                         testing::Values(
                             // Reaching past two edges keeps the part inside.
                             CropCase{{30, 20, 50, 50}, {0, 0, 40, 30}, 10, 10},
                             CropCase{{-10, -10, 20, 15}, {0, 0, 40, 30}, 10, 5},
                             // Wholly outside: an empty picture.
                             CropCase{{100, 100, 10, 10}, {0, 0, 40, 30}, 0, 0},
                             // No framing to scale by, or no numbers to crop to: the image is left whole.
                             CropCase{{0, 0, 10, 10}, {0, 0, 0, 30}, -1, -1},
                             CropCase{{kNaN, 0, 10, 10}, {0, 0, 40, 30}, -1, -1},
                             CropCase{{0, 0, 10, kInfinity}, {0, 0, 40, 30}, -1, -1},
                             CropCase{{0, 0, 10, 10}, {0, 0, 40, kNaN}, -1, -1},
                             CropCase{{0, 0, 10, 10}, {0, 0, 1e-320, 30}, -1, -1},
                             // Framings so large that rescaling them overflows still keep what lies inside.
                             CropCase{{-1e308, -1e308, 1.7e308, 1.7e308}, {0, 0, 20, 15}, 40, 30},
                             CropCase{{1e308, 0, 1e308, 10}, {0, 0, 20, 15}, 0, 0}));

// ---- Photos and the edit manager -------------------------------------------------------------

TEST(PhotoOutOfRange, OnePixelPhotoRendersThroughEveryTransformation) {
    ScreenScale scale(2);
    auto manager = RUXEditManager::create(makePhoto(1, 1));
    for (const auto& image : {manager->thumbnailImage(), manager->lowResImage(), manager->fullImage()}) {
        ASSERT_TRUE(image);
        EXPECT_EQ(image->extent(), Graphics::Rect(0, 0, 2, 2));
    }
    auto rotate = std::make_shared<RUXRotateTransformation>();
    rotate->rotateClockwise90Degrees();
    rotate->flipHorizontal();
    manager->commitTransformation(rotate);
    auto crop = std::make_shared<RUXCropTransformation>();
    crop->setCropRect(Graphics::Rect(0, 0, 1, 1), Graphics::Rect(0, 0, 2, 2), RUXImageMetadata());
    manager->commitTransformation(crop);
    manager->commitTransformation(std::make_shared<RUXBrightnessTransformation>());
    manager->commitTransformation(std::make_shared<RUXFilterVivid>());
    manager->commitTransformation(std::make_shared<RUXBeautifulBlurTransformation>());
    auto renderer = RUXImageRenderer::create();
    auto full = renderer->renderedImage(manager->resultantImage());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->bitmap()->width(), 1);
    manager->commitTransformation(std::make_shared<RUXBlurTransformation>());
    EXPECT_TRUE(renderer->renderedImage(manager->committedImage()));
    EXPECT_TRUE(renderer->renderedImage(
        manager->thumbnailPreviewImageWithTransformation(std::make_shared<RUXFilterTokyo>())));
}

TEST(PhotoOutOfRange, PhotoWithoutPixelsRendersNothing) {
    // A zero side cannot make a bitmap, so no photo reaches the manager.
    EXPECT_EQ(Graphics::Bitmap::create(0, 8), nullptr);
    auto manager = RUXEditManager::create(Graphics::BitmapImage::create(Graphics::Bitmap::create(0, 8)));
    EXPECT_EQ(manager->fullImage(), nullptr);
    manager->commitTransformation(std::make_shared<RUXFilterVivid>());
    auto renderer = RUXImageRenderer::create();
    EXPECT_EQ(renderer->renderedImage(manager->committedImage()), nullptr);
    EXPECT_EQ(renderer->renderedImage(manager->resultantImage()), nullptr);
    EXPECT_EQ(renderer->renderedImage(
                  manager->thumbnailPreviewImageWithTransformation(std::make_shared<RUXFilterIdentity>())),
              nullptr);
    EXPECT_EQ(RUXEditManager::resizeImage(makePhoto(4, 4), 0), nullptr);
    EXPECT_EQ(RUXEditManager::resizeImage(makePhoto(4, 4), kNaN), nullptr);
}

TEST(EditManagerOutOfRange, WrongSlotIsRefusedAndEmptyHistoryDoesNothing) {
    auto manager = RUXEditManager::create(makePhoto(8, 8));
    manager->undo();
    manager->redo();
    EXPECT_EQ(manager->transformations().size(), 1u);
    manager->setTransformationForType(std::make_shared<RUXBrightnessTransformation>(),
                                      RUXTransformationTypeBlur);
    EXPECT_EQ(manager->transformations().size(), 1u);
    EXPECT_FALSE(manager->canUndo());
    // Emptying a slot that nothing fills, even one no class uses, is still one undoable step.
    manager->setTransformationForType(nullptr, RUXTransformationTypeWithCode(42));
    EXPECT_TRUE(manager->canUndo());
    manager->commitTransformation(nullptr);
    EXPECT_EQ(manager->transformations().size(), 1u);
}

} // namespace
