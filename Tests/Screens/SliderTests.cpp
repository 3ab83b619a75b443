#include "ToolScreenTestSupport.h"

#include <Transformation/RUXScalarAdjustments.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationUtility.h>
#include <cmath>

namespace {

using Graphics::Rect;
using ScreenTest::ToolScreenFixture;

struct SliderRecorder : RUXSliderDelegate {
    void sliderDidChangeValue(RUXSlider&, double value) override { values.push_back(value); }
    std::vector<double> values;
};

// The window x at which the thumb's centre stands for value on a −100 … 100 slider 320 points wide.
double thumbCentreFor(double value) {
    return 24 + (value + 100) / 200 * 272;
}

class SliderFixture : public ToolScreenFixture {
protected:
    void SetUp() override {
        ToolScreenFixture::SetUp();
        slider = RUXSlider::create({0, 440, 320, 80});
        slider->setMinValue(-100);
        slider->setMaxValue(100);
        slider->setCurrentValue(0);
        recorder = std::make_shared<SliderRecorder>();
        slider->setDelegate(recorder);
        root->view()->addSubview(slider);
        host->display();
    }
    // Drags the thumb from its centre through the given values and lifts the finger there.
    void dragThrough(std::initializer_list<double> values) {
        host->touchDown(1, {thumbCentreFor(slider->currentValue()), 480});
        for (double v : values) {
            host->touchMove(1, {thumbCentreFor(v), 480});
        }
        host->touchUp(1);
        host->display();
    }
    std::shared_ptr<RUXSlider> slider;
    std::shared_ptr<SliderRecorder> recorder;
};

TEST_F(ToolScreenFixture, NewSliderRestsAtTheLeftEndOfZeroToNinetyNine) {
    auto slider = RUXSlider::create({0, 0, 320, 80});
    slider->layoutIfNeeded();
    EXPECT_EQ(slider->minValue(), 0);
    EXPECT_EQ(slider->maxValue(), 99);
    EXPECT_EQ(slider->currentValue(), 0);
    EXPECT_EQ(slider->movingUnit()->frame(), Rect(0, 0, 48, 80));
    EXPECT_EQ(slider->sliderLabel()->text(), "0");
    EXPECT_EQ(slider->sliderTrack()->frame(), Rect(24, 39.5, 272, 1));
    EXPECT_EQ(slider->sliderLabel()->frame(), Rect(0, 0, 48, 34));
    EXPECT_TRUE(slider->centreDot()->image());
    EXPECT_TRUE(slider->draggableDot()->image());
}

struct ValueCase {
    double value;
    double stored;
    const char* text;
    double thumbX;
};

class SliderValue : public ToolScreenFixture, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(SliderValue, ClampsAndPlacesTheThumbTextAndOrangeLine) {
    auto slider = RUXSlider::create({0, 0, 320, 80});
    slider->setMinValue(-100);
    slider->setMaxValue(100);
    slider->setCurrentValue(GetParam().value);
    slider->layoutIfNeeded();
    EXPECT_EQ(slider->currentValue(), GetParam().stored);
    EXPECT_EQ(slider->sliderLabel()->text(), GetParam().text);
    EXPECT_NEAR(slider->movingUnit()->frame().origin.x, GetParam().thumbX, 1e-9);
    // The orange line joins the centre mark (x = 160) and the thumb's centre.
    const double m = GetParam().thumbX + 24;
    const Rect line = slider->sliderTrackHighlighted()->frame();
    EXPECT_NEAR(line.origin.x, std::min(160.0, m), 1e-9);
    EXPECT_NEAR(line.size.width, std::abs(160 - m), 1e-9);
    EXPECT_EQ(line.origin.y, 39.5);
    EXPECT_EQ(line.size.height, 1);
}

INSTANTIATE_TEST_SUITE_P(Values, SliderValue,
                         ::testing::Values(ValueCase{0, 0, "0", 136}, ValueCase{150, 100, "100", 272},
                                           ValueCase{-150, -100, "-100", 0}, ValueCase{50, 50, "50", 204},
                                           ValueCase{-0.4, -0.4, "-0", 135.456},
                                           ValueCase{2.5, 2.5, "2", 139.4}));

TEST_F(ToolScreenFixture, RangeChangesDoNotReclampTheValue) {
    auto slider = RUXSlider::create({0, 0, 320, 80});
    slider->setMinValue(-100);
    slider->setMaxValue(100);
    slider->setCurrentValue(80);
    slider->setMaxValue(50);
    EXPECT_EQ(slider->currentValue(), 80);
    slider->setCurrentValue(slider->currentValue());
    EXPECT_EQ(slider->currentValue(), 50);
}

TEST_F(SliderFixture, DragFollowsTheFingerAndReportsEveryStep) {
    dragThrough({40, 60});
    EXPECT_NEAR(slider->currentValue(), 60, 1e-9);
    ASSERT_GE(recorder->values.size(), 2u);
    EXPECT_NEAR(recorder->values.back(), 60, 1e-9);
    EXPECT_EQ(slider->sliderLabel()->text(), "60");
}

TEST_F(SliderFixture, ReleaseNearTheMiddleSnapsToIt) {
    dragThrough({30, 2.6});
    EXPECT_EQ(slider->currentValue(), 0);
    EXPECT_EQ(recorder->values.back(), 0);

    recorder->values.clear();
    dragThrough({30, 3.5});
    EXPECT_NEAR(slider->currentValue(), 3.5, 1e-9);
    EXPECT_NEAR(recorder->values.back(), 3.5, 1e-9);

    recorder->values.clear();
    dragThrough({-30, -2.9});
    EXPECT_EQ(slider->currentValue(), 0);
}

// A rest value away from the middle takes the centre mark, the orange line's start and the snap
// with it; the middle is then an ordinary value.
TEST_F(SliderFixture, ARestValueTakesTheMarkTheLineAndTheSnap) {
    slider->setRestValue(44);
    slider->setCurrentValue(60);
    host->display();
    const double rest = thumbCentreFor(44);
    EXPECT_NEAR(slider->centreDot()->frame().origin.x + slider->centreDot()->frame().size.width / 2, rest,
                1e-9);
    const Rect line = slider->sliderTrackHighlighted()->frame();
    EXPECT_NEAR(line.origin.x, rest, 1e-9);
    EXPECT_NEAR(line.size.width, thumbCentreFor(60) - rest, 1e-9);

    dragThrough({46.5});
    EXPECT_EQ(slider->currentValue(), 44);
    EXPECT_EQ(recorder->values.back(), 44);
    dragThrough({1.5});
    EXPECT_NEAR(slider->currentValue(), 1.5, 1e-9);
}

TEST_F(SliderFixture, DragBeyondTheEndsPinsTheValue) {
    host->touchDown(1, {160, 480});
    host->touchMove(1, {200, 480});
    host->touchMove(1, {500, 480});
    EXPECT_EQ(slider->currentValue(), 100);
    host->touchMove(1, {-200, 480});
    EXPECT_EQ(slider->currentValue(), -100);
    host->touchUp(1);
}

TEST_F(SliderFixture, OnlyTheThumbStartsADrag) {
    run("drag 40 480 100 480");
    run("drag 300 500 220 500");
    EXPECT_EQ(slider->currentValue(), 0);
    EXPECT_TRUE(recorder->values.empty());
}

struct MappingCase {
    const RUXClass& (*transformationClass)();
    double sliderValue;
    double expected;
};

class SliderMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(SliderMapping, SliderRangeSpreadsOverTheTransformationsRange) {
    auto slider = RUXSlider::create({0, 0, 320, 80});
    slider->setMinValue(-100);
    slider->setMaxValue(100);
    slider->setCurrentValue(GetParam().sliderValue);
    auto t = std::dynamic_pointer_cast<RUXScalarTransformation>(GetParam().transformationClass().create());
    ASSERT_TRUE(t);
    EXPECT_DOUBLE_EQ(RUXScalarTransformationValueFromSlider(*slider, *t), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, SliderMapping,
    ::testing::Values(MappingCase{&RUXBrightnessTransformation::classDescriptor, 50, 1.0},
                      MappingCase{&RUXBrightnessTransformation::classDescriptor, 100, 2.0},
                      MappingCase{&RUXBrightnessTransformation::classDescriptor, 0, 0.0},
                      MappingCase{&RUXContrastTransformation::classDescriptor, -100, 0.5},
                      MappingCase{&RUXContrastTransformation::classDescriptor, 0, 1.0},
                      MappingCase{&RUXContrastTransformation::classDescriptor, 100, 1.5},
                      MappingCase{&RUXSaturationTransformation::classDescriptor, 100, 2.0},
                      MappingCase{&RUXSaturationTransformation::classDescriptor, -100, 0.0}));

TEST(SliderMappingEdge, EmptySliderRangeGivesTheMinimum) {
    auto slider = RUXSlider::create({0, 0, 320, 80});
    slider->setMinValue(5);
    slider->setMaxValue(5);
    RUXContrastTransformation contrast;
    EXPECT_EQ(RUXScalarTransformationValueFromSlider(*slider, contrast), 0.5);
}

template <class Screen>
std::shared_ptr<RUXScalarTransformationViewControllerBase> presentScalar(ToolScreenFixture& fixture) {
    return fixture.present<Screen>();
}

TEST_F(ToolScreenFixture, CommittedValueReopensAtItsSliderPosition) {
    struct Case {
        std::shared_ptr<RUXScalarTransformation> committed;
        float value;
        std::shared_ptr<RUXScalarTransformationViewControllerBase> (*present)(ToolScreenFixture&);
        const char* text;
    };
    const Case cases[] = {
        {std::make_shared<RUXBrightnessTransformation>(), 1.0f, presentScalar<RUXBrightnessViewController>,
         "50"},
        {std::make_shared<RUXContrastTransformation>(), 0.75f, presentScalar<RUXContrastViewController>,
         "-50"},
        {std::make_shared<RUXSaturationTransformation>(), 1.0f, presentScalar<RUXSaturationViewController>,
         "0"},
    };
    for (const Case& c : cases) {
        c.committed->setValue(c.value);
        editManager->commitTransformation(c.committed);
        auto screen = c.present(*this);
        EXPECT_EQ(screen->slider()->sliderLabel()->text(), c.text);
        // Back through the slider the copy's value is found again.
        EXPECT_FLOAT_EQ(
            float(RUXScalarTransformationValueFromSlider(*screen->slider(), *screen->transformation())),
            c.value);
        EXPECT_NE(screen->transformation(), c.committed);
        tap({80, 544});
    }
}

TEST_F(ToolScreenFixture, SliderStepsPreviewTheCopyAndATouchComparesWithoutIt) {
    auto committed = std::make_shared<RUXBrightnessTransformation>();
    committed->setValue(-1.0f);
    editManager->commitTransformation(committed);
    showCommittedImage();
    auto screen = present<RUXBrightnessViewController>();
    // Opening shows what the main screen showed, and renders nothing with the copy.
    EXPECT_EQ(screen->imageView()->image(), renderer->lastRenderFormula()->renderedImage());
    EXPECT_FALSE(screen->imageView()->lastImage());

    // From the thumb at −50 (brightness −1) to the slider's 75, brightness 1.5.
    run("drag 92 480 262 480");
    settle();
    RUXRenderFormulaPtr preview = screen->imageView()->lastImage();
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->previewMode(), RUXPreviewModeHighQuality);
    ASSERT_TRUE(preview->transformations());
    EXPECT_NE(std::find(preview->transformations()->begin(), preview->transformations()->end(),
                        RUXTransformationPtr(screen->transformation())),
              preview->transformations()->end());
    EXPECT_NEAR(screen->transformation()->value(), 1.5, 1e-5);
    EXPECT_EQ(screen->imageView()->image(), preview->renderedImage()) << "the latest request is what shows";
    EXPECT_EQ(editManager->getTransformationWithClass(RUXBrightnessTransformation::classDescriptor()),
              committed);

    // A finger on the picture shows it without any brightness; lifting it brings the preview back.
    host->touchDown(1, {160, 240});
    settle();
    RUXRenderFormulaPtr comparison = screen->imageView()->lastImage();
    for (const auto& t : *comparison->transformations()) {
        EXPECT_NE(t->type(), RUXTransformationTypeBrightness);
    }
    host->touchUp(1);
    settle();
    EXPECT_NE(screen->imageView()->lastImage(), comparison);
    EXPECT_EQ(screen->imageView()->lastImage()->previewMode(), RUXPreviewModeHighQuality);
}

} // namespace
