// The tone curve and the vignette as edits: recipes at every resolution and turn, undo and redo,
// neutral values, and the command line's text for them.
#include "EditorTestSupport.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRecipe.h>
#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXToneCurveTransformation.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace EditorTest;

namespace {

std::shared_ptr<RUXToneCurveTransformation> sCurve() {
    auto curve = std::make_shared<RUXToneCurveTransformation>();
    curve->setPoints({{0.25, 0.15}, {0.75, 0.88}});
    return curve;
}

std::shared_ptr<RUXVignetteTransformation> darkVignette() {
    auto vignette = std::make_shared<RUXVignetteTransformation>();
    vignette->setValue(-0.7f);
    vignette->setMidpoint(0.4);
    vignette->setFeather(0.8);
    return vignette;
}

// The three sizes a list is rendered at, smallest first.
std::vector<ImageEngine::ImagePtr> resolutionsOf(const RUXEditManager& manager) {
    return {manager.thumbnailImage(), manager.lowResImage(), manager.fullImage()};
}

struct CurveVignetteCase {
    const char* name;
    std::function<RUXTransformationPtr()> make;
};

class CurveAndVignetteRecipe : public testing::TestWithParam<CurveVignetteCase> {};

// Under each of the four turns and a crop, the recipe reads back to the same document and the same
// bytes at the thumbnail, screen and full resolutions, and every resolution shows the edit at the
// same fractions of the cropped frame.
TEST_P(CurveAndVignetteRecipe, RoundTripsAtEveryResolutionAndTurn) {
    ScreenScale scale(1.0);
    // A flat grey, so that what the edit does at a fraction of the frame can be read at each size.
    auto photo = Graphics::BitmapImage::create(makeBitmap(1536, 1024, [](int, int) {
        return Rgba{140, 128, 110, 255};
    }));
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
        // A crop of the left three quarters, as the crop screen frames it on the turned picture.
        auto framed = edited->imageWithTransformationClasses(
            {&RUXRotateTransformation::classDescriptor(), &RUXNormalizeTransformation::classDescriptor()});
        const Graphics::Rect shown = framed->resultantImage()->extent();
        auto crop = std::make_shared<RUXCropTransformation>();
        crop->setCropRect(Graphics::Rect(0, 0, shown.width() * 0.75, shown.height()), shown,
                          *framed->metadata());
        edited->commitTransformation(crop);
        edited->commitTransformation(GetParam().make());

        const std::string document = edited->recipe()->document();
        std::string error;
        auto parsed = RUXRecipe::createWithDocument(document, {}, error);
        ASSERT_TRUE(parsed) << error << "\n" << document;
        EXPECT_NE(document.find("\"version\": 2"), std::string::npos) << document;
        auto replayed = RUXEditManager::create(photo);
        ASSERT_TRUE(replayed->applyRecipe(*parsed));
        EXPECT_EQ(replayed->recipe()->document(), document);

        std::vector<std::array<int, 3>> samples; // centre, corner, middle of the left edge, per size
        const auto editedSizes = resolutionsOf(*edited), replayedSizes = resolutionsOf(*replayed);
        for (std::size_t r = 0; r < 3; ++r) {
            auto expected =
                renderFormula(RUXRenderFormula::create(editedSizes[r], edited->transformations()));
            auto actual =
                renderFormula(RUXRenderFormula::create(replayedSizes[r], replayed->transformations()));
            ASSERT_TRUE(expected && actual);
            EXPECT_TRUE(sameBytes(*expected, *actual)) << "resolution " << r;
            const int w = expected->width(), h = expected->height();
            samples.push_back({pixel(*expected, w / 2, h / 2)[0], pixel(*expected, 0, 0)[0],
                               pixel(*expected, 0, h / 2)[0]});
            // The edit shows at every size: some sample is well away from the photo's red of 140.
            EXPECT_GT(std::max({std::abs(samples.back()[0] - 140), std::abs(samples.back()[1] - 140),
                                std::abs(samples.back()[2] - 140)}),
                      10)
                << "resolution " << r;
        }
        EXPECT_LT(editedSizes[0]->extent().width(), editedSizes[1]->extent().width());
        EXPECT_LT(editedSizes[1]->extent().width(), editedSizes[2]->extent().width());
        for (std::size_t r = 1; r < 3; ++r) {
            for (std::size_t i = 0; i < 3; ++i) {
                // Pixel centres sit at slightly different fractions at each size; the fall-off is
                // gentle enough there for two levels.
                EXPECT_NEAR(samples[r][i], samples[0][i], 2) << "resolution " << r << " sample " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Edits, CurveAndVignetteRecipe,
                         testing::Values(CurveVignetteCase{"ToneCurve", [] { return sCurve(); }},
                                         CurveVignetteCase{"Vignette", [] { return darkVignette(); }}),
                         [](const testing::TestParamInfo<CurveVignetteCase>& info) {
                             return std::string(info.param.name);
                         });

// Neutral values hand the picture on unchanged: the curve with no points or only the diagonal ends,
// the vignette at amount 0 whatever its shape, and values that are not finite.
TEST(CurveAndVignette, NeutralValuesGiveTheBytesOfNoEdit) {
    ScreenScale scale(1.0);
    auto photo = makePhoto(36, 24);
    auto manager = RUXEditManager::create(photo);
    auto plain = renderFormula(manager->resultantImage());
    ASSERT_TRUE(plain);
    auto identity = std::make_shared<RUXToneCurveTransformation>();
    auto diagonal = std::make_shared<RUXToneCurveTransformation>();
    diagonal->setPoints({{0, 0}, {1, 1}});
    auto still = std::make_shared<RUXVignetteTransformation>();
    still->setMidpoint(0.1);
    still->setFeather(0);
    auto notANumber = darkVignette();
    notANumber->setMidpoint(NAN);
    for (const RUXTransformationPtr& t :
         std::vector<RUXTransformationPtr>{identity, diagonal, still, notANumber}) {
        auto edited = RUXEditManager::create(photo);
        edited->commitTransformation(t);
        auto bitmap = renderFormula(edited->resultantImage());
        ASSERT_TRUE(bitmap);
        EXPECT_TRUE(sameBytes(*bitmap, *plain)) << t->transformationClass().name;
    }
}

// Each edit commits, undoes and redoes as one step, and a recipe applied replaces them as one.
TEST(CurveAndVignette, UndoAndRedoThroughTheEditManager) {
    auto manager = RUXEditManager::create(makePhoto(30, 20));
    const RUXTransformationList empty = manager->transformations();
    manager->commitTransformation(sCurve());
    manager->commitTransformation(darkVignette());
    const RUXTransformationList both = manager->transformations();
    ASSERT_EQ(both.size(), empty.size() + 2);

    auto working = std::static_pointer_cast<RUXToneCurveTransformation>(
        manager->getOrCreateTransformationWithClass(RUXToneCurveTransformation::classDescriptor()));
    working->setPoints({{0.5, 0.9}});
    manager->commitTransformation(working);

    manager->undo();
    EXPECT_EQ(manager->transformations(), both);
    manager->undo();
    manager->undo();
    EXPECT_EQ(manager->transformations(), empty);
    manager->redo();
    manager->redo();
    EXPECT_EQ(manager->transformations(), both);
    // The vignette runs after the curve, by sort order.
    EXPECT_EQ(&both[both.size() - 1]->transformationClass(), &RUXVignetteTransformation::classDescriptor());
    manager->redo();
    EXPECT_EQ(manager->getTransformationWithClass(RUXToneCurveTransformation::classDescriptor()), working);
    // A recipe without them empties their slots, as one step.
    ASSERT_TRUE(manager->applyRecipe(*RUXEditManager::create(makePhoto(30, 20))->recipe()));
    EXPECT_EQ(manager->transformations(), empty);
    manager->undo();
    EXPECT_EQ(manager->getTransformationWithClass(RUXToneCurveTransformation::classDescriptor()), working);
}

struct FlagCase {
    const char* flag;
    const char* text;
    std::vector<double> numbers; // empty: refused
};

class CurveAndVignetteFlags : public testing::TestWithParam<FlagCase> {};

// The curve's points as space-separated pairs, the vignette's group with its optional members, and
// text each refuses.
TEST_P(CurveAndVignetteFlags, ReadTheirText) {
    const FlagCase& c = GetParam();
    const RUXTransformationDeclaration& declaration = std::string(c.flag) == "--curve"
                                                          ? RUXToneCurveTransformation::declaration()
                                                          : RUXVignetteTransformation::declaration();
    const RUXParameter* parameter = declaration.parameterWithFlag(c.flag);
    ASSERT_TRUE(parameter);
    auto numbers = RUXParseFlagValue(declaration, *parameter, c.text);
    if (c.numbers.empty()) {
        EXPECT_FALSE(numbers) << c.text;
        return;
    }
    ASSERT_TRUE(numbers) << c.text;
    EXPECT_EQ(*numbers, c.numbers);
    auto t = declaration.transformationClass->create();
    ASSERT_TRUE(RUXApplyFlagValue(declaration, *parameter, *t, *numbers));
    for (const RUXParameter& p : declaration.parameters) {
        if (!p.key.empty()) {
            EXPECT_TRUE(p.get(*t)) << p.key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Text, CurveAndVignetteFlags,
    testing::Values(FlagCase{"--curve", "0.25,0.2 0.75,0.8", {0.25, 0.2, 0.75, 0.8}},
                    FlagCase{"--curve", "  0,0.1\t1,0.9 ", {0, 0.1, 1, 0.9}},
                    FlagCase{"--curve", "0.5,0.6", {0.5, 0.6}}, FlagCase{"--curve", "0.5,0.6 0.7", {}},
                    FlagCase{"--curve", "0.5,0.6,0.7,0.8 0.9,1", {}}, FlagCase{"--curve", "0.5,1.2", {}},
                    FlagCase{"--curve", "", {}}, FlagCase{"--curve", "a,b", {}},
                    FlagCase{"--vignette", "-0.5", {-0.5}},
                    FlagCase{"--vignette", "0.3,0.2,0.9", {0.3, 0.2, 0.9}}, FlagCase{"--vignette", "1.5", {}},
                    FlagCase{"--vignette", "-0.5,2", {}}, FlagCase{"--vignette", "-0.5 0.4", {}}),
    [](const testing::TestParamInfo<FlagCase>& info) {
        return std::string(info.param.flag).substr(2) + std::to_string(info.index);
    });

} // namespace
