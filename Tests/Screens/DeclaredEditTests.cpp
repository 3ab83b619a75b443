// A new one-value edit made in this file alone: its class and declaration, one registration, and
// the recipe, the flag and the slider follow from the declaration.

#include "ToolScreenTestSupport.h"

#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationUtility.h>
#include <gtest/gtest.h>

namespace {

// A colour temperature in kelvin: its slider moves evenly in mireds, so that the warm end, where
// the eye sees each step, gets as much travel as the cool one.
class TestWarmthTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(TestWarmthTransformation)
};

RUX_DEFINE_TRANSFORMATION_CLASS(TestWarmthTransformation)

const RUXTransformationDeclaration& TestWarmthTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d =
            declare(classDescriptor(), RUXFirstAddedTransformationType, 1.15, 2000, 10000, 6500, "kelvin",
                    "--warmth", "takes a colour temperature in kelvin.", RUXSliderMapping::Mired);
        d.recipeVersion = 2;
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr TestWarmthTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                RUXImageMetadata&) {
    return RUXFilterOutput(RUXFilterName::exposureAdjust,
                           {{RUXFilterKey::image, image}, {RUXFilterKey::ev, (value() - 6500) / 10000.0}});
}

const RUXParameter& warmthValue() {
    return *TestWarmthTransformation::declaration().parameter("value");
}

// The photo's list with the warmth committed at kelvin.
std::shared_ptr<RUXEditManager> managerWithWarmth(float kelvin) {
    auto manager = RUXEditManager::create(EditorTest::makePhoto(24, 16));
    auto warmth = manager->getOrCreateTransformationWithClass(TestWarmthTransformation::classDescriptor());
    std::static_pointer_cast<RUXScalarTransformation>(warmth)->setValue(kelvin);
    manager->commitTransformation(warmth);
    return manager;
}

TEST(DeclaredEdit, RegistrationGivesTheClassItsSlotAndIsUndoneWithIt) {
    // The editor's own added classes may already need version 2.
    const int editorVersion = RUXTransformationRegistry::recipeVersion();
    {
        RUXTransformationRegistration registration(TestWarmthTransformation::declaration());
        ASSERT_TRUE(registration.isRegistered());
        EXPECT_EQ(RUXTransformationRegistry::declarationNamed("TestWarmthTransformation"),
                  &TestWarmthTransformation::declaration());
        EXPECT_EQ(RUXTransformationRegistry::recipeVersion(), 2);
        TestWarmthTransformation warmth;
        EXPECT_EQ(RUXTransformationTypeCode(warmth.type()), 8);
        EXPECT_EQ(warmth.sortOrder(), 1.15);
        EXPECT_EQ(warmth.value(), 6500.0f);

        // One registration per class, and codes below 8 stay the design's.
        RUXTransformationRegistration twice(TestWarmthTransformation::declaration());
        EXPECT_FALSE(twice.isRegistered());
        RUXTransformationDeclaration intruder = TestWarmthTransformation::declaration();
        static const RUXClass other{"TestIntruderTransformation",
                                    TestWarmthTransformation::classDescriptor().factory};
        intruder.transformationClass = &other;
        intruder.type = RUXTransformationTypeSaturation;
        EXPECT_FALSE(RUXTransformationRegistration(intruder).isRegistered());
        intruder.type = RUXTransformationTypeWithCode(8);
        EXPECT_FALSE(RUXTransformationRegistration(intruder).isRegistered());
    }
    EXPECT_EQ(RUXTransformationRegistry::declarationNamed("TestWarmthTransformation"), nullptr);
    EXPECT_EQ(RUXTransformationRegistry::recipeVersion(), editorVersion);
}

TEST(DeclaredEdit, RecipeWritesAndReadsItUnderTheNewVersionOnly) {
    RUXTransformationRegistration registration(TestWarmthTransformation::declaration());
    auto recipe = managerWithWarmth(3200)->recipe();
    ASSERT_TRUE(recipe);
    const std::string document = recipe->document();
    EXPECT_NE(document.find("\"version\": 2"), std::string::npos) << document;
    EXPECT_NE(document.find("\"class\": \"TestWarmthTransformation\""), std::string::npos) << document;

    std::string error;
    auto read = RUXRecipe::createWithDocument(document, {}, error);
    ASSERT_TRUE(read) << error;
    bool found = false;
    for (const auto& t : read->transformations()) {
        if (auto* warmth = dynamic_cast<TestWarmthTransformation*>(t.get())) {
            EXPECT_EQ(warmth->value(), 3200.0f);
            found = true;
        }
    }
    EXPECT_TRUE(found);

    // A version 1 document may not hold the new class; a list without it is still written as
    // version 1, which every earlier reader knows.
    std::string older = document;
    older.replace(older.find("\"version\": 2"), 12, "\"version\": 1");
    EXPECT_FALSE(RUXRecipe::createWithDocument(older, {}, error));
    EXPECT_NE(error.find("needs recipe version 2"), std::string::npos) << error;
    auto plain = RUXEditManager::create(EditorTest::makePhoto(24, 16))->recipe();
    EXPECT_NE(plain->document().find("\"version\": 1"), std::string::npos);
}

TEST(DeclaredEdit, ItsFlagParsesAndAppliesAsRenderToolsDo) {
    RUXTransformationRegistration registration(TestWarmthTransformation::declaration());
    const RUXParameter* flag = nullptr;
    const RUXTransformationDeclaration* owner = nullptr;
    for (const RUXTransformationDeclaration* d : RUXTransformationRegistry::declarations()) {
        if (const RUXParameter* p = d->parameterWithFlag("--warmth")) {
            flag = p;
            owner = d;
        }
    }
    ASSERT_TRUE(flag);
    EXPECT_EQ(owner, &TestWarmthTransformation::declaration());
    EXPECT_EQ(flag->flagValue, "V");
    EXPECT_EQ(flag->flagTakes, "a number");

    for (const char* refused : {"", "warm", "3200,1", "3200,", "inf", "nan"}) {
        EXPECT_FALSE(RUXParseFlagValue(*owner, *flag, refused)) << refused;
    }
    // Out of the slider's range is applied as given, as for every scalar edit.
    auto numbers = RUXParseFlagValue(*owner, *flag, "12000");
    ASSERT_TRUE(numbers);
    TestWarmthTransformation warmth;
    EXPECT_TRUE(RUXApplyFlagValue(*owner, *flag, warmth, *numbers));
    EXPECT_EQ(warmth.value(), 12000.0f);
}

TEST(DeclaredEdit, ItsSliderMovesEvenlyInMireds) {
    RUXTransformationRegistration registration(TestWarmthTransformation::declaration());
    auto slider = RUXSlider::create({0, 0, 320, 80});
    slider->setMinValue(-100);
    slider->setMaxValue(100);
    TestWarmthTransformation warmth;
    // 500 mireds at one end, 100 at the other, 300 (3333 K) in the middle.
    for (auto [position, kelvin] : {std::pair{-100.0, 2000.0}, {0.0, 1e6 / 300}, {100.0, 10000.0}}) {
        slider->setCurrentValue(position);
        const double value = RUXScalarTransformationValueFromSlider(*slider, warmth);
        EXPECT_NEAR(value, kelvin, 1e-6) << position;
        warmth.setValue(float(value));
        EXPECT_NEAR(RUXSliderFractionOfScalarTransformation(warmth), (position + 100) / 200, 1e-6);
    }
    // The range itself is the declaration's.
    EXPECT_EQ(warmth.minValue(), 2000.0f);
    EXPECT_EQ(warmth.maxValue(), 10000.0f);
    EXPECT_EQ(warmthValue().unit, "kelvin");
}

// The design's edits keep their ranges, flags and slots through their declarations.
TEST(DeclaredEdit, TheEditorsOwnScalarEditsAreDeclaredAsBefore) {
    struct Expected {
        const char* name;
        const char* flag;
        std::int64_t type;
        double sortOrder, min, max, neutral;
    };
    for (const Expected& e : {Expected{"RUXBrightnessTransformation", "--brightness", 1, 1.0, -2, 2, 0},
                              Expected{"RUXSaturationTransformation", "--saturation", 3, 1.1, 0, 2, 1},
                              Expected{"RUXContrastTransformation", "--contrast", 2, 1.2, 0.5, 1.5, 1}}) {
        const RUXTransformationDeclaration* d = RUXTransformationRegistry::declarationNamed(e.name);
        ASSERT_TRUE(d) << e.name;
        auto t = std::dynamic_pointer_cast<RUXScalarTransformation>(d->transformationClass->create());
        ASSERT_TRUE(t);
        EXPECT_EQ(RUXTransformationTypeCode(t->type()), e.type);
        EXPECT_EQ(t->sortOrder(), e.sortOrder);
        EXPECT_EQ(t->minValue(), float(e.min));
        EXPECT_EQ(t->maxValue(), float(e.max));
        EXPECT_EQ(t->value(), float(e.neutral));
        ASSERT_TRUE(d->parameterWithFlag(e.flag)) << e.flag;
    }
}

} // namespace
