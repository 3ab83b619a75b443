#include "EditorTestSupport.h"

#include <Foundation/Bundle.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace EditorTest;

namespace {

// A smooth picture whose colour depends on the position as a fraction of the size, so that two
// resolutions of it show the same content.
std::shared_ptr<Graphics::BitmapImage> smoothPhoto(int w, int h) {
    return Graphics::BitmapImage::create(makeBitmap(w, h, [w, h](int x, int y) {
        const double u = (x + 0.5) / w, v = (y + 0.5) / h;
        return Rgba{std::uint8_t(40 + 180 * u), std::uint8_t(30 + 200 * v), std::uint8_t(200 - 150 * u * v),
                    255};
    }));
}

// A 3 × 3 × 3 look that swaps red and blue and darkens green.
std::shared_ptr<RUXUserLookTransformation> swapLook() {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(27 * 16);
    auto* f = reinterpret_cast<float*>(bytes->data());
    for (int b = 0, i = 0; b < 3; ++b) {
        for (int g = 0; g < 3; ++g) {
            for (int r = 0; r < 3; ++r, ++i) {
                const float entry[4] = {b / 2.0f, g / 3.0f, r / 2.0f, 1.0f};
                std::memcpy(f + 4 * i, entry, sizeof entry);
            }
        }
    }
    auto table = std::make_shared<RUXCubeLookupTable>();
    table->dimension = 3;
    table->data = bytes;
    return std::make_shared<RUXUserLookTransformation>("Swap", "looks/swap.cube", table);
}

RUXRecipe::UserLookResolver resolverFor(const RUXTransformationPtr& look) {
    return [look](const std::string& name, const std::string& source) -> RUXTransformationPtr {
        auto* userLook = dynamic_cast<RUXUserLookTransformation*>(look.get());
        return userLook && userLook->name() == name && userLook->source() == source ? look : nullptr;
    };
}

std::shared_ptr<const Graphics::Bitmap> renderResult(RUXEditManager& manager) {
    auto image = RUXImageRenderer::create()->renderedImage(manager.resultantImage());
    return image ? image->bitmap() : nullptr;
}

// The edits as the screens make them: a working copy from the manager, committed on OK.
void turnAndMirror(RUXEditManager& manager) {
    auto rotate = std::static_pointer_cast<RUXRotateTransformation>(
        manager.getOrCreateTransformationWithClass(RUXRotateTransformation::classDescriptor()));
    rotate->rotateClockwise90Degrees();
    rotate->flipHorizontal();
    rotate->rotateClockwise90Degrees();
    rotate->rotateClockwise90Degrees();
    manager.commitTransformation(rotate);
}

// Frames fractions of the picture the crop screen shows (turned, top-left origin).
void cropFractions(RUXEditManager& manager, double x, double y, double w, double h) {
    auto formula = manager.imageWithTransformationClasses(
        {&RUXRotateTransformation::classDescriptor(), &RUXNormalizeTransformation::classDescriptor()});
    auto picture = RUXImageRenderer::create()->renderedImage(formula);
    ASSERT_TRUE(picture);
    const double pw = picture->bitmap()->width(), ph = picture->bitmap()->height();
    auto crop = std::static_pointer_cast<RUXCropTransformation>(
        manager.getOrCreateTransformationWithClass(RUXCropTransformation::classDescriptor()));
    crop->setCropRect(Graphics::Rect(x * pw, ph - (y + h) * ph, w * pw, h * ph), Graphics::Rect(0, 0, pw, ph),
                      *formula->metadata());
    manager.commitTransformation(crop);
}

void setScalar(RUXEditManager& manager, const RUXClass& c, float value) {
    auto scalar =
        std::static_pointer_cast<RUXScalarTransformation>(manager.getOrCreateTransformationWithClass(c));
    scalar->setValue(value);
    manager.commitTransformation(scalar);
}

void focusBlur(RUXEditManager& manager) {
    auto blur = std::static_pointer_cast<RUXBlurTransformation>(
        manager.getOrCreateTransformationWithClass(RUXBlurTransformation::classDescriptor()));
    blur->setPoint({0.3, 0.6});
    blur->setScale(0.7);
    manager.commitTransformation(blur);
}

struct RoundTripCase {
    const char* name;
    std::function<void(RUXEditManager&, const RUXTransformationPtr& userLook)> edit;
};

class RecipeRoundTrip : public testing::TestWithParam<RoundTripCase> {
protected:
    TestSupport::MainBundlePath m_resources{RUX_SOURCE_RESOURCES_DIR};
    ScreenScale m_scale{1.0};
};

// A recipe replays to the very bytes on the same photo, and reads back to the same document.
TEST_P(RecipeRoundTrip, ReplaysToIdenticalPixels) {
    auto photo = smoothPhoto(75, 50);
    auto userLook = swapLook();
    auto edited = RUXEditManager::create(photo);
    GetParam().edit(*edited, userLook);
    auto recipe = edited->recipe();
    ASSERT_TRUE(recipe);
    const std::string document = recipe->document();

    std::string error;
    auto parsed = RUXRecipe::createWithDocument(document, resolverFor(userLook), error);
    ASSERT_TRUE(parsed) << error << "\n" << document;
    auto replayed = RUXEditManager::create(photo);
    ASSERT_TRUE(replayed->applyRecipe(*parsed));
    EXPECT_EQ(replayed->recipe()->document(), document);
    EXPECT_EQ(replayed->transformations().size(), edited->transformations().size());

    auto expected = renderResult(*edited), actual = renderResult(*replayed);
    ASSERT_TRUE(expected && actual);
    EXPECT_TRUE(sameBytes(*expected, *actual)) << document;
}

INSTANTIATE_TEST_SUITE_P(
    EveryClass, RecipeRoundTrip,
    testing::Values(
        RoundTripCase{"Rotate", [](RUXEditManager& m, const RUXTransformationPtr&) { turnAndMirror(m); }},
        RoundTripCase{"Crop", [](RUXEditManager& m,
                                 const RUXTransformationPtr&) { cropFractions(m, 0.13, 0.21, 0.55, 0.47); }},
        RoundTripCase{"TurnedCrop",
                      [](RUXEditManager& m, const RUXTransformationPtr&) {
                          turnAndMirror(m);
                          cropFractions(m, 0.3, 0.1, 0.6, 0.5);
                      }},
        RoundTripCase{"Scalars",
                      [](RUXEditManager& m, const RUXTransformationPtr&) {
                          setScalar(m, RUXBrightnessTransformation::classDescriptor(), 0.37f);
                          setScalar(m, RUXSaturationTransformation::classDescriptor(), 1.61f);
                          setScalar(m, RUXContrastTransformation::classDescriptor(), 0.83f);
                      }},
        RoundTripCase{"OverlayLook",
                      [](RUXEditManager& m, const RUXTransformationPtr&) {
                          m.commitTransformation(std::make_shared<RUXFilterTokyo>());
                      }},
        RoundTripCase{"Look",
                      [](RUXEditManager& m, const RUXTransformationPtr&) {
                          m.commitTransformation(std::make_shared<RUXFilterLark>());
                      }},
        RoundTripCase{"Identity",
                      [](RUXEditManager& m, const RUXTransformationPtr&) {
                          m.commitTransformation(std::make_shared<RUXFilterIdentity>());
                      }},
        RoundTripCase{"UserLook", [](RUXEditManager& m,
                                     const RUXTransformationPtr& look) { m.commitTransformation(look); }},
        RoundTripCase{"FocusBlur", [](RUXEditManager& m, const RUXTransformationPtr&) { focusBlur(m); }},
        RoundTripCase{"CircleBlur",
                      [](RUXEditManager& m, const RUXTransformationPtr&) {
                          auto blur = std::make_shared<RUXBeautifulBlurTransformation>();
                          blur->setPoint({20, 14});
                          m.commitTransformation(blur);
                      }},
        RoundTripCase{"Everything",
                      [](RUXEditManager& m, const RUXTransformationPtr& look) {
                          turnAndMirror(m);
                          cropFractions(m, 0.1, 0.15, 0.7, 0.6);
                          setScalar(m, RUXBrightnessTransformation::classDescriptor(), -0.4f);
                          setScalar(m, RUXContrastTransformation::classDescriptor(), 1.3f);
                          m.commitTransformation(look);
                          focusBlur(m);
                      }}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

// The same recipe on a photo of twice the size makes the same relative edit: a picture twice the
// size showing the same content, for every combination of turns.
TEST(Recipe, HoldsAcrossResolutionsAndTurns) {
    ScreenScale scale(1.0);
    for (int turns = 0; turns < 4; ++turns) {
        SCOPED_TRACE("turns " + std::to_string(turns));
        auto small = RUXEditManager::create(smoothPhoto(90, 60));
        auto rotate = std::make_shared<RUXRotateTransformation>();
        for (int i = 0; i < turns; ++i) {
            rotate->rotateCounterClockwise90Degrees();
        }
        if (turns % 2) {
            rotate->flipVertical();
        }
        small->commitTransformation(rotate);
        cropFractions(*small, 0.2, 0.1, 0.5, 0.6);
        setScalar(*small, RUXSaturationTransformation::classDescriptor(), 0.5f);

        std::string error;
        auto recipe = RUXRecipe::createWithDocument(small->recipe()->document(), {}, error);
        ASSERT_TRUE(recipe) << error;
        auto large = RUXEditManager::create(smoothPhoto(180, 120));
        ASSERT_TRUE(large->applyRecipe(*recipe));

        auto a = renderResult(*small), b = renderResult(*large);
        ASSERT_TRUE(a && b);
        EXPECT_NEAR(b->width(), 2 * a->width(), 1);
        EXPECT_NEAR(b->height(), 2 * a->height(), 1);
        int worst = 0;
        for (int y = 1; y + 1 < a->height(); ++y) {
            for (int x = 1; x + 1 < a->width(); ++x) {
                worst = std::max(worst, maxDifference(pixel(*a, x, y), pixel(*b, 2 * x + 1, 2 * y + 1)));
            }
        }
        // The content is smooth: neighbouring pixels differ by a few levels at most.
        EXPECT_LE(worst, 6);
    }
}

// Applying a recipe is one step: undo brings back the whole list it replaced, redo the recipe's.
TEST(Recipe, AppliesAsOneUndoableStep) {
    auto manager = RUXEditManager::create(makePhoto(30, 20));
    auto vivid = std::make_shared<RUXFilterVivid>();
    manager->commitTransformation(vivid);
    setScalar(*manager, RUXBrightnessTransformation::classDescriptor(), 0.5f);
    const RUXTransformationList before = manager->transformations();

    auto source = RUXEditManager::create(makePhoto(30, 20));
    turnAndMirror(*source);
    setScalar(*source, RUXContrastTransformation::classDescriptor(), 1.2f);
    ASSERT_TRUE(manager->applyRecipe(*source->recipe()));
    const RUXTransformationList after = manager->transformations();
    // Rotate, normalisation, contrast: the look and brightness slots were emptied.
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(manager->getTransformationWithType(RUXTransformationTypeFilter), nullptr);

    manager->undo();
    EXPECT_EQ(manager->transformations(), before);
    EXPECT_EQ(manager->undoManager()->undoStepCount(), 2u);
    manager->redo();
    EXPECT_EQ(manager->transformations(), after);

    // Committing the list that is already committed records nothing.
    RUXTransformationList same;
    for (const auto& t : after) {
        if (t->type() != RUXTransformationTypeNormalize) {
            same.push_back(t);
        }
    }
    const std::size_t steps = manager->undoManager()->undoStepCount();
    EXPECT_TRUE(manager->commitTransformations(same));
    EXPECT_EQ(manager->undoManager()->undoStepCount(), steps);

    // A list with two of one type, a gap or a normalisation is refused and changes nothing.
    for (const RUXTransformationList& bad :
         {RUXTransformationList{std::make_shared<RUXBlurTransformation>(),
                                std::make_shared<RUXBeautifulBlurTransformation>()},
          RUXTransformationList{nullptr},
          RUXTransformationList{std::make_shared<RUXNormalizeTransformation>()}}) {
        EXPECT_FALSE(manager->commitTransformations(bad));
        EXPECT_EQ(manager->transformations(), after);
        EXPECT_EQ(manager->undoManager()->undoStepCount(), steps);
    }
}

struct MalformedCase {
    const char* name;
    std::string document;
    const char* message; // a part of the one sentence the parser answers
};

std::string recipeWith(const std::string& entries) {
    return R"({"format": "rux-edit-recipe", "version": 1, "transformations": [)" + entries + "]}";
}

class MalformedRecipe : public testing::TestWithParam<MalformedCase> {};

// Every malformed document is refused with a sentence that says why, and applies nothing.
TEST_P(MalformedRecipe, IsRefusedWithAClearMessage) {
    std::string error;
    auto recipe = RUXRecipe::createWithDocument(GetParam().document, resolverFor(swapLook()), error);
    EXPECT_FALSE(recipe);
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Documents, MalformedRecipe,
    testing::Values(
        MalformedCase{"NotJson", "{\"format\": ", "not valid JSON"},
        MalformedCase{"NotAnObject", "[1, 2]", "must be a JSON object"},
        MalformedCase{"OtherFormat", R"({"format": "other", "version": 1, "transformations": []})",
                      "not a recipe"},
        MalformedCase{"FutureVersion",
                      R"({"format": "rux-edit-recipe", "version": 99, "transformations": []})",
                      "unsupported recipe version"},
        MalformedCase{"VersionAsText",
                      R"({"format": "rux-edit-recipe", "version": "1", "transformations": []})",
                      "unsupported recipe version"},
        MalformedCase{"UnknownTopKey",
                      R"({"format": "rux-edit-recipe", "version": 1, "transformations": [], "x": 0})",
                      "unexpected key \"x\""},
        MalformedCase{"UnknownClass", recipeWith(R"({"class": "RUXSoftFocusTransformation"})"),
                      "unknown class"},
        MalformedCase{"NewerClass",
                      recipeWith(R"({"class": "RUXSharpenTransformation", "amount": 1, "radius": 1})"),
                      "needs recipe version 2"},
        MalformedCase{"Normalisation", recipeWith(R"({"class": "RUXNormalizeTransformation"})"),
                      "unknown class"},
        MalformedCase{"ValueAsText", recipeWith(R"({"class": "RUXBrightnessTransformation", "value": "1"})"),
                      "transformation 0: \"value\" must be a number"},
        MalformedCase{"Overflow", recipeWith(R"({"class": "RUXContrastTransformation", "value": 1e999})"),
                      "not valid JSON"},
        MalformedCase{"BeyondFloat", recipeWith(R"({"class": "RUXContrastTransformation", "value": 1e300})"),
                      "too large"},
        MalformedCase{"ShortPoint",
                      recipeWith(R"({"class": "RUXBlurTransformation", "point": [0.5], "scale": 1})"),
                      "list of 2 numbers"},
        MalformedCase{"MissingKey", recipeWith(R"({"class": "RUXBlurTransformation", "point": [0.5, 0.5]})"),
                      "missing \"scale\""},
        MalformedCase{"ExtraKey", recipeWith(R"({"class": "RUXFilterTokyo", "strength": 1})"),
                      "unexpected key \"strength\""},
        MalformedCase{"TwoBlurs",
                      recipeWith(R"({"class": "RUXBlurTransformation", "point": [0, 0], "scale": 1},
                                              {"class": "RUXBeautifulBlurTransformation", "point": [1, 1]})"),
                      "transformation 1: a second"},
        MalformedCase{"TwoLooks",
                      recipeWith(R"({"class": "RUXFilterTokyo"}, {"class": "RUXFilterIdentity"})"),
                      "a second"},
        MalformedCase{"SkewMatrix", recipeWith(R"({"class": "RUXRotateTransformation",
                        "matrix": [1, 0.2, 0, 1, 0, 0], "flipDirection": 1, "rotateDirection": 1})"),
                      "quarter turns and mirrors"},
        MalformedCase{"BadDirection", recipeWith(R"({"class": "RUXRotateTransformation",
                        "matrix": [1, 0, 0, 1, 0, 0], "flipDirection": 2, "rotateDirection": 1})"),
                      "must be 1 or -1"},
        MalformedCase{"FlatCrop", recipeWith(R"({"class": "RUXCropTransformation", "rect": [0, 0, 0.5, 0]})"),
                      "positive width and height"},
        MalformedCase{
            "UnknownUserLook",
            recipeWith(R"({"class": "RUXUserLookTransformation", "name": "Gone", "source": "gone.cube"})"),
            "user look \"Gone\" is not available"},
        MalformedCase{"TooLarge",
                      recipeWith(R"({"class": "RUXFilterTokyo"})") +
                          std::string(RUXRecipe::kMaxDocumentBytes, ' '),
                      "larger than"}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

} // namespace
