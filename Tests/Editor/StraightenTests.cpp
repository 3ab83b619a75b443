#include "EditorTestSupport.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRecipe.h>
#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

using namespace EditorTest;

namespace {

// A smooth picture given in the photo's own y-up coordinates, as encoded levels: slow waves, so
// that a bilinear sample between pixel centres stays within a level of the function itself.
struct SmoothPicture {
    double w, h;
    std::array<double, 3> at(double x, double y) const {
        const double u = x / w, v = y / h;
        return {128 + 90 * std::sin(2.1 * u + 0.7 * v), 128 + 90 * std::cos(1.3 * v - 0.9 * u),
                60 + 150 * u * v};
    }
};

std::shared_ptr<Graphics::Bitmap> drawPicture(int w, int h) {
    const SmoothPicture picture{double(w), double(h)};
    return makeBitmap(w, h, [&](int x, int row) {
        const auto c = picture.at(x + 0.5, h - row - 0.5);
        return Rgba{std::uint8_t(std::lround(c[0])), std::uint8_t(std::lround(c[1])),
                    std::uint8_t(std::lround(c[2])), 255};
    });
}

std::shared_ptr<RUXStraightenTransformation> straighten(double degrees) {
    auto t = std::make_shared<RUXStraightenTransformation>();
    t->setValue(float(degrees));
    return t;
}

std::shared_ptr<const Graphics::Bitmap> renderList(const ImageEngine::ImagePtr& source,
                                                   const RUXTransformationList& list) {
    auto image = RUXImageRenderer::create()->renderedImage(RUXRenderFormula::create(source, list));
    return image ? image->bitmap() : nullptr;
}

std::shared_ptr<RUXRotateTransformation> turnsAndMirror(int clockwiseTurns, bool mirror) {
    auto rotate = std::make_shared<RUXRotateTransformation>();
    for (int i = 0; i < clockwiseTurns; ++i) {
        rotate->rotateClockwise90Degrees();
    }
    if (mirror) {
        rotate->flipHorizontal();
    }
    return rotate;
}

class StraightenAngle : public testing::TestWithParam<double> {};

// Each pixel of the levelled picture is the photo at the point its centre came from: turned back by
// the angle about the centre and shrunk by the zoom that keeps the frame inside the turned photo.
TEST_P(StraightenAngle, MatchesATurnedAndZoomedReference) {
    const int w = 61, h = 40;
    const double degrees = GetParam();
    auto bitmap = renderList(ImageEngine::Image::createWithBitmap(drawPicture(w, h)),
                             {straighten(degrees), std::make_shared<RUXNormalizeTransformation>()});
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bitmap->width(), w);
    ASSERT_EQ(bitmap->height(), h);

    const double theta = degrees * std::numbers::pi / 180, c = std::cos(theta), s = std::sin(theta);
    const double zoom =
        std::max((w * std::abs(c) + h * std::abs(s)) / w, (w * std::abs(s) + h * std::abs(c)) / h);
    const SmoothPicture picture{double(w), double(h)};
    int worst = 0;
    for (int row = 2; row < h - 2; ++row) {
        for (int x = 2; x < w - 2; ++x) {
            // Turn the output point back (clockwise by θ in y-up coordinates), then undo the zoom.
            const double qx = x + 0.5 - w / 2.0, qy = h - row - 0.5 - h / 2.0;
            const double px = (c * qx + s * qy) / zoom + w / 2.0, py = (-s * qx + c * qy) / zoom + h / 2.0;
            const auto expected = picture.at(px, py);
            const Rgba actual = pixel(*bitmap, x, row);
            for (int i = 0; i < 3; ++i) {
                worst = std::max(worst,
                                 int(std::ceil(std::abs(actual[std::size_t(i)] - expected[std::size_t(i)]))));
            }
        }
    }
    // Bilinear taps of a smooth picture blended in linear light: two levels, with rounding.
    EXPECT_LE(worst, 2) << degrees << "°";
}

INSTANTIATE_TEST_SUITE_P(Angles, StraightenAngle, testing::Values(3.7, -12.5, 45.0, -0.1, 29.9));

// No pixel of the frame comes from beyond the photo: an opaque white photo stays opaque white to
// its last corner, at the steepest angles, the smallest steps and odd sizes.
TEST(Straighten, NeverShowsAnythingFromOutsideThePhoto) {
    for (auto [w, h] : {std::pair{37, 23}, std::pair{23, 37}, std::pair{64, 64}, std::pair{3, 2}}) {
        for (double degrees : {45.0, -45.0, 0.1, -0.1, 17.3}) {
            SCOPED_TRACE(std::to_string(w) + " × " + std::to_string(h) + " at " + std::to_string(degrees));
            auto bitmap = renderList(solidImage(w, h, {255, 255, 255, 255}),
                                     {straighten(degrees), std::make_shared<RUXNormalizeTransformation>()});
            ASSERT_TRUE(bitmap);
            ASSERT_EQ(bitmap->width(), w);
            ASSERT_EQ(bitmap->height(), h);
            int worst = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    worst = std::max(worst, maxDifference(pixel(*bitmap, x, y), {255, 255, 255, 255}));
                }
            }
            EXPECT_EQ(worst, 0);
        }
    }
}

// Zero is no edit at all, to the byte; a value that is not a number is refused the same way.
TEST(Straighten, ZeroOrNoNumberLeavesThePictureAsItIs) {
    ScreenScale scale(1.0);
    auto photo = Graphics::BitmapImage::create(drawPicture(45, 31));
    auto plain = RUXEditManager::create(photo);
    const auto expected = renderFormula(plain->resultantImage());
    ASSERT_TRUE(expected);
    for (double degrees : {0.0, -0.0, std::numeric_limits<double>::quiet_NaN()}) {
        auto edited = RUXEditManager::create(photo);
        edited->commitTransformation(straighten(degrees));
        const auto actual = renderFormula(edited->resultantImage());
        ASSERT_TRUE(actual);
        EXPECT_TRUE(sameBytes(*expected, *actual)) << degrees;
    }
}

// Turns and mirrors act on the levelled picture: the list [straighten, turns] shows exactly the
// levelled picture turned, for every quarter turn with and without a mirror.
TEST(Straighten, TurnsAndMirrorsKeepThePictureStraight) {
    const int w = 33, h = 20;
    auto source = ImageEngine::Image::createWithBitmap(drawPicture(w, h));
    auto levelled = renderList(source, {straighten(8.4), std::make_shared<RUXNormalizeTransformation>()});
    ASSERT_TRUE(levelled);
    for (int turns = 0; turns < 4; ++turns) {
        for (bool mirror : {false, true}) {
            SCOPED_TRACE(std::to_string(turns) + " clockwise turns" + (mirror ? ", mirrored" : ""));
            auto rotate = turnsAndMirror(turns, mirror);
            auto actual =
                renderList(source, {straighten(8.4), rotate, std::make_shared<RUXNormalizeTransformation>()});
            auto expected = renderList(
                ImageEngine::Image::createWithBitmap(std::const_pointer_cast<Graphics::Bitmap>(levelled)),
                {rotate, std::make_shared<RUXNormalizeTransformation>()});
            ASSERT_TRUE(actual && expected);
            EXPECT_TRUE(sameBytes(*expected, *actual));
        }
    }
}

// The crop is framed on the levelled picture, and the framing holds at the thumbnail, screen and
// output resolutions: each shows the same fractions of its own levelled picture.
TEST(Straighten, CropIsFramedInTheLevelledPictureAtEveryResolution) {
    ScreenScale scale(1.0);
    // Shorter sides 88 (thumbnail), 640 (screen) and 800 (output): the framing falls on whole pixels.
    auto manager = RUXEditManager::create(Graphics::BitmapImage::create(drawPicture(1200, 800)));
    manager->commitTransformation(straighten(-6.2));
    // As the crop screen frames it: on the picture with the geometry but without the crop.
    auto framed = manager->imageWithTransformationClasses({&RUXStraightenTransformation::classDescriptor(),
                                                           &RUXRotateTransformation::classDescriptor(),
                                                           &RUXNormalizeTransformation::classDescriptor()});
    auto picture = renderFormula(framed);
    ASSERT_TRUE(picture);
    const double pw = picture->width(), ph = picture->height();
    auto crop = std::static_pointer_cast<RUXCropTransformation>(
        manager->getOrCreateTransformationWithClass(RUXCropTransformation::classDescriptor()));
    crop->setCropRect(Graphics::Rect(0.25 * pw, 0.25 * ph, 0.5 * pw, 0.5 * ph), Graphics::Rect(0, 0, pw, ph),
                      *framed->metadata());
    manager->commitTransformation(crop);

    auto look = std::make_shared<RUXFilterIdentity>();
    const std::pair<const char*, RUXRenderFormulaPtr> resolutions[] = {
        {"thumbnail", manager->thumbnailPreviewImageWithTransformation(look)},
        {"screen", manager->committedImage()},
        {"output", manager->resultantImage()}};
    for (const auto& [name, formula] : resolutions) {
        SCOPED_TRACE(name);
        auto actual = renderFormula(formula);
        auto whole = renderList(formula->originalImage(),
                                {straighten(-6.2), std::make_shared<RUXNormalizeTransformation>()});
        ASSERT_TRUE(actual && whole);
        ASSERT_EQ(actual->width() * 2, whole->width());
        ASSERT_EQ(actual->height() * 2, whole->height());
        const int x0 = whole->width() / 4, y0 = whole->height() / 4;
        int worst = 0;
        for (int y = 0; y < actual->height(); ++y) {
            for (int x = 0; x < actual->width(); ++x) {
                worst = std::max(worst, maxDifference(pixel(*actual, x, y), pixel(*whole, x0 + x, y0 + y)));
            }
        }
        EXPECT_EQ(worst, 0);
    }
}

// A recipe with the angle, each of the four turns (with a mirror on the odd ones) and a crop, read
// back and applied to the same photo, gives the same bytes at all three resolutions.
TEST(Straighten, RecipeHoldsAtEveryResolutionAndTurn) {
    ScreenScale scale(1.0);
    // Shorter sides 88 (thumbnail), 640 (screen) and 660 (output): three different pictures.
    auto small = Graphics::BitmapImage::create(drawPicture(700, 660));
    for (int turns = 0; turns < 4; ++turns) {
        SCOPED_TRACE(std::to_string(turns) + " clockwise turns");
        auto edited = RUXEditManager::create(small);
        edited->commitTransformation(straighten(11.3));
        edited->commitTransformation(turnsAndMirror(turns, turns % 2 == 1));
        auto framed = edited->imageWithTransformationClasses(
            {&RUXStraightenTransformation::classDescriptor(), &RUXRotateTransformation::classDescriptor(),
             &RUXNormalizeTransformation::classDescriptor()});
        ASSERT_TRUE(renderFormula(framed));
        const Graphics::Rect whole(0, 0, framed->resultantImage()->extent().width(),
                                   framed->resultantImage()->extent().height());
        auto crop = std::make_shared<RUXCropTransformation>();
        crop->setCropRect(Graphics::Rect(whole.width() * 0.1, whole.height() * 0.2, whole.width() * 0.6,
                                         whole.height() * 0.5),
                          whole, *framed->metadata());
        edited->commitTransformation(crop);

        const std::string document = edited->recipe()->document();
        std::string error;
        auto recipe = RUXRecipe::createWithDocument(document, {}, error);
        ASSERT_TRUE(recipe) << error << "\n" << document;

        auto replayed = RUXEditManager::create(small);
        ASSERT_TRUE(replayed->applyRecipe(*recipe));
        EXPECT_EQ(replayed->recipe()->document(), document);
        auto look = std::make_shared<RUXFilterIdentity>();
        const std::pair<RUXRenderFormulaPtr, RUXRenderFormulaPtr> pairs[] = {
            {edited->thumbnailPreviewImageWithTransformation(look),
             replayed->thumbnailPreviewImageWithTransformation(look)},
            {edited->committedImage(), replayed->committedImage()},
            {edited->resultantImage(), replayed->resultantImage()}};
        for (const auto& [a, b] : pairs) {
            auto expected = renderFormula(a), actual = renderFormula(b);
            ASSERT_TRUE(expected && actual);
            EXPECT_TRUE(sameBytes(*expected, *actual)) << document;
        }
    }
}

// The angle is one undoable step that reaches the thumbnails: committing, undoing and redoing it
// each empty the thumbnail cache and restore the very object committed.
TEST(Straighten, UndoRedoAndTheThumbnailCache) {
    auto manager = RUXEditManager::create(Graphics::BitmapImage::create(drawPicture(40, 30)));
    auto look = std::make_shared<RUXFilterVivid>();
    auto fill = [&] {
        manager->thumbnailPreviewImageWithTransformation(look);
        EXPECT_EQ(manager->thumbnailCacheCount(), 1u);
    };
    auto angle = straighten(4.2);
    fill();
    manager->commitTransformation(angle);
    EXPECT_EQ(manager->thumbnailCacheCount(), 0u);
    EXPECT_EQ(manager->getTransformationWithClass(RUXStraightenTransformation::classDescriptor()), angle);
    // Before the turns, so that they turn the levelled picture.
    manager->commitTransformation(std::make_shared<RUXRotateTransformation>());
    EXPECT_EQ(&manager->transformations().front()->transformationClass(),
              &RUXStraightenTransformation::classDescriptor());

    manager->undo();
    fill();
    manager->undo();
    EXPECT_EQ(manager->thumbnailCacheCount(), 0u);
    EXPECT_EQ(manager->getTransformationWithClass(RUXStraightenTransformation::classDescriptor()), nullptr);
    fill();
    manager->redo();
    EXPECT_EQ(manager->thumbnailCacheCount(), 0u);
    EXPECT_EQ(manager->getTransformationWithClass(RUXStraightenTransformation::classDescriptor()), angle);
    // The thumbnail's list holds the angle.
    auto thumbnail = manager->thumbnailPreviewImageWithTransformation(look);
    EXPECT_EQ(thumbnail->transformations()->front(), angle);
}

} // namespace
