// Highlights and shadows, and sharpening, as edits: neutral values change no byte, recipes carry them
// at every resolution and turn, undo and redo restore them, and a preview's sharpening is Save's
// scaled down.
#include "EditorTestSupport.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace EditorTest;

namespace {

// Soft gradients with a few hard-edged bars, so both edits have something to move.
std::shared_ptr<Graphics::BitmapImage> barsPhoto(int w, int h) {
    return Graphics::BitmapImage::create(makeBitmap(w, h, [w, h](int x, int y) {
        const double u = (x + 0.5) / w, v = (y + 0.5) / h;
        const bool bar = int(u * 10) % 3 == 1;
        const double level = bar ? 0.85 : 0.1 + 0.5 * v;
        return Rgba{std::uint8_t(255 * level), std::uint8_t(230 * level * (0.6 + 0.4 * u)),
                    std::uint8_t(200 * level), 255};
    }));
}

std::shared_ptr<const Graphics::Bitmap> rendered(const RUXRenderFormulaPtr& formula) {
    auto image = RUXImageRenderer::create()->renderedImage(formula);
    return image ? image->bitmap() : nullptr;
}

std::vector<std::uint8_t> bytes(const Graphics::Bitmap& bitmap) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < bitmap.height(); ++y) {
        out.insert(out.end(), bitmap.row(y), bitmap.row(y) + std::size_t(bitmap.width()) * 4);
    }
    return out;
}

std::shared_ptr<RUXHighlightsShadowsTransformation> tones(RUXEditManager& manager, float h, float s) {
    auto t = std::static_pointer_cast<RUXHighlightsShadowsTransformation>(
        manager.getOrCreateTransformationWithClass(RUXHighlightsShadowsTransformation::classDescriptor()));
    t->setHighlights(h);
    t->setShadows(s);
    return t;
}

std::shared_ptr<RUXSharpenTransformation> sharpening(RUXEditManager& manager, float amount, float radius) {
    auto t = std::static_pointer_cast<RUXSharpenTransformation>(
        manager.getOrCreateTransformationWithClass(RUXSharpenTransformation::classDescriptor()));
    t->setValue(amount);
    t->setRadius(radius);
    return t;
}

// Neutral values, alone or among other edits, give the very bytes of the list without them.
TEST(ToneAndSharpenEdits, NeutralValuesChangeNoByte) {
    ScreenScale scale(1.0);
    auto plain = RUXEditManager::create(barsPhoto(120, 80));
    auto edited = RUXEditManager::create(barsPhoto(120, 80));
    for (auto* m : {plain.get(), edited.get()}) {
        auto rotate = std::make_shared<RUXRotateTransformation>();
        rotate->rotateClockwise90Degrees();
        m->commitTransformation(rotate);
    }
    edited->commitTransformation(tones(*edited, 0, 0));
    edited->commitTransformation(sharpening(*edited, 0, 2.5f));
    EXPECT_EQ(edited->transformations().size(), plain->transformations().size() + 2);
    auto a = rendered(plain->resultantImage()), b = rendered(edited->resultantImage());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(bytes(*a), bytes(*b));
    auto c = rendered(plain->committedImage()), d = rendered(edited->committedImage());
    ASSERT_TRUE(c && d);
    EXPECT_EQ(bytes(*c), bytes(*d));
}

// A recipe written with both edits reads back to the same document and replays to the same bytes
// over each of the three pictures, after any of the four turns.
TEST(ToneAndSharpenEdits, RecipesRoundTripAtEveryResolutionAndTurn) {
    ScreenScale scale(1.0);
    // Shorter side above the output's 1024 points, so the three pictures all differ in size.
    auto photo = barsPhoto(1350, 1080);
    for (int turns = 0; turns < 4; ++turns) {
        SCOPED_TRACE("turns " + std::to_string(turns));
        auto edited = RUXEditManager::create(photo);
        auto rotate = std::make_shared<RUXRotateTransformation>();
        for (int i = 0; i < turns; ++i) {
            rotate->rotateClockwise90Degrees();
        }
        if (turns == 3) {
            rotate->flipHorizontal();
        }
        edited->commitTransformation(rotate);
        edited->commitTransformation(tones(*edited, -0.6f, 0.45f));
        edited->commitTransformation(sharpening(*edited, 1.4f, 1.7f));
        const std::string document = edited->recipe()->document();

        std::string error;
        auto parsed = RUXRecipe::createWithDocument(document, {}, error);
        ASSERT_TRUE(parsed) << error << "\n" << document;
        auto replayed = RUXEditManager::create(photo);
        ASSERT_TRUE(replayed->applyRecipe(*parsed));
        EXPECT_EQ(replayed->recipe()->document(), document);
        auto sharpen = [](RUXEditManager& m) {
            return m.getTransformationWithClass(RUXSharpenTransformation::classDescriptor());
        };
        for (const auto& source : {edited->thumbnailImage(), edited->lowResImage(), edited->fullImage()}) {
            auto a = rendered(edited->highQualityPreviewForImage(source, sharpen(*edited)));
            auto b = rendered(replayed->highQualityPreviewForImage(source, sharpen(*replayed)));
            ASSERT_TRUE(a && b);
            EXPECT_EQ(bytes(*a), bytes(*b)) << source->extent().width() << " wide\n" << document;
        }
    }
}

// Each commit is one step: undo and redo bring back the very objects and the pictures they made.
TEST(ToneAndSharpenEdits, UndoAndRedoRestoreEachStep) {
    ScreenScale scale(1.0);
    auto manager = RUXEditManager::create(barsPhoto(90, 60));
    auto first = tones(*manager, 0.5f, -0.3f);
    manager->commitTransformation(first);
    const auto afterFirst = bytes(*rendered(manager->committedImage()));
    auto sharpen = sharpening(*manager, 2, 1);
    manager->commitTransformation(sharpen);
    auto second = std::static_pointer_cast<RUXHighlightsShadowsTransformation>(
        manager->getOrCreateTransformationWithClass(RUXHighlightsShadowsTransformation::classDescriptor()));
    EXPECT_EQ(second->highlights(), 0.5f) << "the working copy starts from the committed values";
    second->setHighlights(-0.2f);
    manager->commitTransformation(second);
    const auto afterAll = bytes(*rendered(manager->committedImage()));
    EXPECT_NE(afterAll, afterFirst);

    manager->undo();
    manager->undo();
    EXPECT_EQ(manager->getTransformationWithClass(RUXHighlightsShadowsTransformation::classDescriptor()),
              first);
    EXPECT_FALSE(manager->getTransformationWithClass(RUXSharpenTransformation::classDescriptor()));
    EXPECT_EQ(bytes(*rendered(manager->committedImage())), afterFirst);
    manager->redo();
    manager->redo();
    EXPECT_EQ(manager->getTransformationWithClass(RUXSharpenTransformation::classDescriptor()), sharpen);
    EXPECT_EQ(manager->getTransformationWithClass(RUXHighlightsShadowsTransformation::classDescriptor()),
              second);
    EXPECT_EQ(bytes(*rendered(manager->committedImage())), afterAll);
}

// Slider steps rendered by one renderer, which keeps the highlights and shadows grid from one step
// to the next, give the bytes a fresh renderer gives: on the edit itself and the sharpening after
// it (the grid is reused), and on the brightness before it (the grid changes).
TEST(ToneAndSharpenEdits, SliderStepsThroughOneRendererGiveTheBytesOfAFreshOne) {
    ScreenScale scale(1.0);
    auto manager = RUXEditManager::create(barsPhoto(160, 120));
    auto rotate = std::make_shared<RUXRotateTransformation>();
    rotate->rotateClockwise90Degrees();
    manager->commitTransformation(rotate);
    manager->commitTransformation(tones(*manager, -0.4f, 0.5f));
    auto renderer = RUXImageRenderer::create();
    auto expectFreshBytes = [&](const RUXTransformationPtr& working, const char* what) {
        auto kept = renderer->renderedImage(manager->highQualityPreviewImageWithTransformation(working));
        auto fresh = rendered(manager->highQualityPreviewImageWithTransformation(working));
        ASSERT_TRUE(kept && fresh) << what;
        EXPECT_EQ(bytes(*kept->bitmap()), bytes(*fresh)) << what;
    };
    auto highlights = tones(*manager, -0.4f, 0.5f);
    for (float value : {-0.2f, 0.3f, 0.6f}) {
        highlights->setHighlights(value);
        expectFreshBytes(highlights, "highlights");
    }
    auto sharpen = sharpening(*manager, 1, 1.5f);
    for (float amount : {0.5f, 1.5f}) {
        sharpen->setValue(amount);
        expectFreshBytes(sharpen, "sharpening");
    }
    auto brightness = std::static_pointer_cast<RUXScalarTransformation>(
        manager->getOrCreateTransformationWithClass(RUXBrightnessTransformation::classDescriptor()));
    for (float value : {0.2f, -0.1f}) {
        brightness->setValue(value);
        expectFreshBytes(brightness, "brightness");
    }
}

// The same over a look with overlay art and a focus blur, a renderer keeping the picture below the
// slider's edit: a step on an edit before the look, one after it, and the first again after the
// other's picture took the kept memory.
TEST(ToneAndSharpenEdits, SliderStepsOverALookAndABlurGiveTheBytesOfAFreshRenderer) {
    ScreenScale scale(1.0);
    auto manager = RUXEditManager::create(barsPhoto(160, 120));
    manager->commitTransformation(std::make_shared<RUXFilterVivid>());
    auto blur = std::static_pointer_cast<RUXBlurTransformation>(
        manager->getOrCreateTransformationWithClass(RUXBlurTransformation::classDescriptor()));
    blur->setPoint({0.4, 0.6});
    manager->commitTransformation(blur);
    auto renderer = RUXImageRenderer::create();
    auto brightness = std::static_pointer_cast<RUXScalarTransformation>(
        manager->getOrCreateTransformationWithClass(RUXBrightnessTransformation::classDescriptor()));
    auto vignette = std::static_pointer_cast<RUXVignetteTransformation>(
        manager->getOrCreateTransformationWithClass(RUXVignetteTransformation::classDescriptor()));
    std::vector<std::uint8_t> previous;
    auto step = [&](const RUXTransformationPtr& working, const char* what) {
        auto kept = renderer->renderedImage(manager->highQualityPreviewImageWithTransformation(working));
        auto fresh = rendered(manager->highQualityPreviewImageWithTransformation(working));
        ASSERT_TRUE(kept && fresh) << what;
        EXPECT_EQ(bytes(*kept->bitmap()), bytes(*fresh)) << what;
        EXPECT_NE(bytes(*fresh), previous) << what << ": the step moved nothing";
        previous = bytes(*fresh);
    };
    for (float value : {0.3f, -0.2f}) {
        brightness->setValue(value);
        step(brightness, "brightness");
    }
    for (float value : {-0.5f, 0.4f}) {
        vignette->setValue(value);
        step(vignette, "vignette");
    }
    brightness->setValue(0.1f);
    step(brightness, "brightness after the vignette");
}

// The screen's picture is half the photo's width here: its sharpening, at half the radius, is Save's
// picture scaled down, and far closer to it than the same radius in the smaller picture's pixels.
TEST(ToneAndSharpenEdits, APreviewSharpensAsSaveDoesAtItsSize) {
    ScreenScale scale(1.0);
    auto photo = barsPhoto(2560, 1280);
    auto manager = RUXEditManager::create(photo, RUXOutputResolution::Original);
    auto sharpen = sharpening(*manager, 2.5f, 3);
    manager->commitTransformation(sharpen);
    auto preview = manager->highQualityPreviewImageWithTransformation(sharpen);
    EXPECT_DOUBLE_EQ(preview->metadata()->resolutionScale(), 0.5);
    EXPECT_DOUBLE_EQ(manager->resultantImage()->metadata()->resolutionScale(), 1.0);
    auto full = rendered(manager->resultantImage());
    auto small = rendered(preview);
    // The same radius counted in the smaller picture's pixels: what an unscaled preview would show.
    auto unscaled = sharpening(*manager, 2.5f, 6);
    auto wrong = rendered(manager->highQualityPreviewImageWithTransformation(unscaled));
    ASSERT_TRUE(full && small && wrong);
    ASSERT_EQ(small->width() * 2, full->width());
    // Save's picture brought to the screen's size: each 2 × 2 block averaged in linear light.
    auto decode = [](int byte) {
        const double e = byte / 255.0;
        return e <= 0.04045 ? e / 12.92 : std::pow((e + 0.055) / 1.055, 2.4);
    };
    auto encode = [](double l) { return l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055; };
    double sumScaled = 0, sumWrong = 0;
    for (int y = 0; y < small->height(); ++y) {
        for (int x = 0; x < small->width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int k = 0; k < 4; ++k) {
                    sum += decode(pixel(*full, 2 * x + k % 2, 2 * y + k / 2)[c]);
                }
                const double expected = 255 * encode(sum / 4);
                const double scaled = std::abs(pixel(*small, x, y)[c] - expected);
                const double unscaledDifference = std::abs(pixel(*wrong, x, y)[c] - expected);
                sumScaled += scaled, sumWrong += unscaledDifference;
            }
        }
    }
    // On average within half a level (the hard edges of the bars, where the two ways of resampling
    // differ most, reach tens of levels at single pixels), and a quarter of the unscaled error.
    const double samples = 3.0 * small->width() * small->height();
    EXPECT_LE(sumScaled / samples, 0.5);
    EXPECT_LT(sumScaled * 3, sumWrong);
    EXPECT_LT(sumScaled * 2, sumWrong);
}

} // namespace
