#include "EditorTestSupport.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXPipelineRender.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <cstring>
#include <latch>
#include <string>
#include <thread>
#include <vector>

using namespace EditorTest;

namespace {

std::shared_ptr<const RUXRecipe> recipeOf(const RUXTransformationList& list) {
    auto recipe = RUXRecipe::createWithTransformations(list);
    EXPECT_NE(recipe, nullptr);
    return recipe;
}

template <class T, class Setup>
RUXTransformationPtr made(Setup setup) {
    auto t = std::make_shared<T>();
    setup(*t);
    return t;
}

RUXTransformationPtr look(const char* name) {
    return RUXTransformationClassNamed(name)->create();
}

// Recipes that between them reach every kind of edit: geometry, the colour adjustments, looks and
// both blurs.
std::vector<std::shared_ptr<const RUXRecipe>> sampleRecipes() {
    return {
        recipeOf(
            {made<RUXBrightnessTransformation>([](auto& t) { t.setValue(0.3f); }), look("RUXFilterVivid")}),
        recipeOf({made<RUXRotateTransformation>([](auto& t) { t.rotateClockwise90Degrees(); }),
                  made<RUXCropTransformation>([](auto& t) {
                      t.setCropRect(Graphics::Rect(30, 20, 200, 150));
                      t.setOriginalRect(Graphics::Rect(0, 0, 300, 200));
                  }),
                  made<RUXSaturationTransformation>([](auto& t) { t.setValue(1.4f); })}),
        recipeOf({made<RUXBlurTransformation>([](auto& t) {
                      t.setPoint({0.4, 0.6});
                      t.setScale(0.8);
                  }),
                  made<RUXContrastTransformation>([](auto& t) { t.setValue(1.2f); }),
                  look("RUXFilterTokyo")}),
        recipeOf({made<RUXBeautifulBlurTransformation>([](auto& t) {
                      t.setPoint({120, 90});
                  }),
                  made<RUXRotateTransformation>([](auto& t) { t.flipHorizontal(); })}),
    };
}

void expectSameBytes(const std::shared_ptr<const Graphics::BitmapImage>& actual,
                     const std::shared_ptr<const Graphics::BitmapImage>& expected, const std::string& what) {
    ASSERT_NE(actual, nullptr) << what;
    ASSERT_NE(expected, nullptr) << what;
    const Graphics::Bitmap &a = *actual->bitmap(), &e = *expected->bitmap();
    ASSERT_EQ(a.width(), e.width()) << what;
    ASSERT_EQ(a.height(), e.height()) << what;
    for (int y = 0; y < a.height(); ++y) {
        ASSERT_EQ(std::memcmp(a.row(y), e.row(y), std::size_t(a.width()) * 4), 0) << what << ", row " << y;
    }
}

// What the editor renders for a resolution, through the screens' edit manager and renderer: Save's
// picture for full and original, the committed image, the look's thumbnail.
std::shared_ptr<const Graphics::BitmapImage> editorRender(const std::shared_ptr<Graphics::BitmapImage>& photo,
                                                          const RUXRecipe& recipe,
                                                          RUXRenderResolution resolution) {
    auto manager = RUXEditManager::create(photo, resolution == RUXRenderResolution::Original
                                                     ? RUXOutputResolution::Original
                                                     : RUXOutputResolution::Limited);
    EXPECT_TRUE(manager->applyRecipe(recipe));
    auto renderer = RUXImageRenderer::create();
    switch (resolution) {
    case RUXRenderResolution::Original:
    case RUXRenderResolution::Full:
        return renderer->renderedImage(manager->resultantImage());
    case RUXRenderResolution::Screen:
        return renderer->renderedImage(manager->committedImage());
    case RUXRenderResolution::Thumbnail: {
        auto chosen = manager->committedTransformationWithType(RUXTransformationTypeFilter);
        return renderer->renderedImage(
            manager->thumbnailPreviewImageWithTransformation(chosen ? chosen : look("RUXFilterIdentity")));
    }
    }
    return nullptr;
}

} // namespace

// The pipeline render gives the editor's own bytes at every resolution and scale, whatever scale the
// main screen has meanwhile.
TEST(PipelineRender, GivesTheEditorsBytesAtEveryResolutionAndScale) {
    // Small, since every case renders twice through the circle blur's full-size work too.
    auto photo = makePhoto(120, 80);
    const auto recipes = sampleRecipes();
    for (double scale : {1.0, 2.0}) {
        for (auto resolution : {RUXRenderResolution::Original, RUXRenderResolution::Full,
                                RUXRenderResolution::Screen, RUXRenderResolution::Thumbnail}) {
            for (std::size_t r = 0; r < recipes.size(); ++r) {
                const std::string what = "scale " + std::to_string(scale) + ", resolution " +
                                         std::to_string(int(resolution)) + ", recipe " + std::to_string(r);
                std::shared_ptr<const Graphics::BitmapImage> expected;
                {
                    ScreenScale screen(scale);
                    expected = editorRender(photo, *recipes[r], resolution);
                }
                // Another scale on the main screen must not reach the pipeline render.
                ScreenScale other(scale == 1.0 ? 2.0 : 1.0);
                expectSameBytes(RUXRenderRecipe(photo, *recipes[r], resolution, scale), expected, what);
                expectSameBytes(RUXRenderRecipe(photo, *recipes[r], resolution, scale, 1), expected,
                                what + ", one thread");
            }
        }
    }
}

// Different recipes on four threads at once give what each gives alone, rendered by one thread.
TEST(PipelineRender, FourThreadsAtOnceGiveTheSingleThreadedBytes) {
    ScreenScale screen(1.0);
    auto photo = makePhoto(300, 200);
    const auto recipes = sampleRecipes();
    ASSERT_EQ(recipes.size(), 4u);
    std::vector<std::shared_ptr<const Graphics::BitmapImage>> alone;
    for (const auto& recipe : recipes) {
        alone.push_back(RUXRenderRecipe(photo, *recipe, RUXRenderResolution::Full, 2.0, 1));
        ASSERT_NE(alone.back(), nullptr);
    }
    constexpr int kRounds = 3;
    std::vector<std::vector<std::shared_ptr<const Graphics::BitmapImage>>> together(4);
    std::latch start(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round) {
                together[i].push_back(RUXRenderRecipe(photo, *recipes[i], RUXRenderResolution::Full, 2.0));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(together[i].size(), std::size_t(kRounds));
        for (int round = 0; round < kRounds; ++round) {
            expectSameBytes(together[i][std::size_t(round)], alone[i],
                            "recipe " + std::to_string(i) + ", round " + std::to_string(round));
        }
    }
}

TEST(PipelineRender, NothingToRenderAnswersNullptrWithASentence) {
    auto recipe = sampleRecipes()[0];
    std::string error;
    EXPECT_EQ(RUXRenderRecipe(nullptr, *recipe, RUXRenderResolution::Full, 2.0, 0, &error), nullptr);
    EXPECT_EQ(error, "the photo has no pixels");
    error.clear();
    EXPECT_EQ(RUXRenderRecipe(makePhoto(4, 4), *recipe, RUXRenderResolution::Full, 0.0, 0, &error), nullptr);
    EXPECT_EQ(error, "the screen scale is not a positive number");
    // A pipeline edit on nothing renders nothing at any resolution, and takes edits all the same.
    auto edit = RUXPipelineEdit::create(nullptr, 2.0);
    edit->applyRecipe(*recipe);
    EXPECT_EQ(edit->render(RUXRenderResolution::Full), nullptr);
    EXPECT_EQ(edit->render(RUXRenderResolution::Thumbnail), nullptr);
    EXPECT_EQ(RUXRenderResolutionNamed("screen"), RUXRenderResolution::Screen);
    EXPECT_EQ(RUXRenderResolutionNamed("Full"), std::nullopt);
}
