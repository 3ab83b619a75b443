// The screens of one slider per declared value (highlights and shadows, sharpening, vignette),
// opened as the toolbar opens added tools: dragging a slider changes only its value in the working
// copy, the committed list and history stay until OK, which commits the copy as one undoable step.
#include "ToolScreenTestSupport.h"

#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <View/RUXSlidersViewController.h>
#include <View/RUXToolScreens.h>

namespace {

using ScreenTest::kOkButton;
using ScreenTest::ToolScreenFixture;

class ToneAndSharpenScreens : public ToolScreenFixture {
protected:
    // The screen the toolbar would open for the class, presented over the root screen.
    std::shared_ptr<RUXTransformationViewControllerBase> presentToolFor(const RUXClass& transformationClass) {
        const RUXToolScreen* tool = RUXToolScreenForClass(transformationClass);
        EXPECT_TRUE(tool);
        if (!tool) {
            return nullptr;
        }
        auto screen = tool->make(configuration, editManager, renderer);
        root->presentViewController(screen, Toolkit::Animated::No);
        settle();
        return screen;
    }

    // A finger from one window point to another in a few steps, then lifted.
    void drag(Graphics::Point from, Graphics::Point to) {
        run("drag " + std::to_string(from.x) + " " + std::to_string(from.y) + " " + std::to_string(to.x) +
            " " + std::to_string(to.y));
        settle();
    }
};

TEST_F(ToneAndSharpenScreens, EachToolHasItsIconsAndScreen) {
    const RUXToolScreen* tones = RUXToolScreenForClass(RUXHighlightsShadowsTransformation::classDescriptor());
    const RUXToolScreen* sharpen = RUXToolScreenForClass(RUXSharpenTransformation::classDescriptor());
    ASSERT_TRUE(tones && sharpen);
    EXPECT_EQ(tones->image, "ic_highlights_shadows");
    EXPECT_EQ(tones->highlightImage, "ic_highlights_shadows_pressdown");
    EXPECT_EQ(sharpen->image, "ic_sharpen");
    EXPECT_EQ(sharpen->highlightImage, "ic_sharpen_pressdown");
    for (const char* icon :
         {"ic_highlights_shadows", "ic_highlights_shadows_pressdown", "ic_sharpen", "ic_sharpen_pressdown"}) {
        EXPECT_TRUE(RUXGetImage(icon)) << icon;
    }
}

// Each slider moves its own value; the committed list and history stay as they were until OK, which
// commits the working copy with both values as one step.
TEST_F(ToneAndSharpenScreens, HighlightsAndShadowsSlidersEditTheCopyAndOkCommitsIt) {
    auto committed = std::make_shared<RUXHighlightsShadowsTransformation>();
    committed->setShadows(0.25f);
    editManager->commitTransformation(committed);
    showCommittedImage();
    const ScreenTest::EditState before = ScreenTest::editStateOf(*editManager);

    auto screen = std::dynamic_pointer_cast<RUXSlidersViewController>(
        presentToolFor(RUXHighlightsShadowsTransformation::classDescriptor()));
    ASSERT_TRUE(screen && screen->transformation());
    EXPECT_NE(screen->transformation(), committed);
    ASSERT_EQ(screen->sliders().size(), 2u);
    EXPECT_EQ(screen->sliders()[0], screen->sliderForKey("highlights"));
    EXPECT_EQ(screen->sliders()[1], screen->sliderForKey("shadows"));
    // The shadows thumb starts at the committed value, a quarter of the way right of the centre.
    const Graphics::Point shadowsThumb = centreInWindow(screen->sliders()[1]->movingUnit());
    EXPECT_NEAR(shadowsThumb.x, 160 + 0.25 * 136, 0.5);
    EXPECT_EQ(centreInWindow(screen->sliders()[0]->movingUnit()).y + 80, shadowsThumb.y);

    auto copy = std::static_pointer_cast<RUXHighlightsShadowsTransformation>(screen->transformation());
    run("drag 160 400 60 400");
    settle();
    EXPECT_LT(copy->highlights(), -0.5f);
    EXPECT_FLOAT_EQ(copy->shadows(), 0.25f);
    run("drag " + std::to_string(shadowsThumb.x) + " 480 296 480");
    settle();
    EXPECT_FLOAT_EQ(copy->shadows(), 1.0f);
    EXPECT_EQ(ScreenTest::editStateOf(*editManager), before);
    EXPECT_EQ(committed->shadows(), 0.25f);

    const float highlights = copy->highlights();
    tap(kOkButton);
    EXPECT_FALSE(isPresenting());
    const ScreenTest::EditState after = ScreenTest::editStateOf(*editManager);
    EXPECT_EQ(after.undoDepth, before.undoDepth + 1);
    auto now = std::static_pointer_cast<RUXHighlightsShadowsTransformation>(
        editManager->getTransformationWithClass(RUXHighlightsShadowsTransformation::classDescriptor()));
    ASSERT_TRUE(now);
    EXPECT_EQ(now->highlights(), highlights);
    EXPECT_EQ(now->shadows(), 1.0f);
    editManager->undo();
    EXPECT_EQ(editManager->getTransformationWithClass(RUXHighlightsShadowsTransformation::classDescriptor()),
              committed);
}

// The sharpening's screen has the amount above the radius. Each thumb starts at its value (the
// amount at the left end, the radius of 1 a fifth of the way along 0.5 … 3) and moves that value
// alone; OK commits both as one step.
TEST_F(ToneAndSharpenScreens, SharpenSlidersEachMoveTheirOwnValue) {
    const ScreenTest::EditState before = ScreenTest::editStateOf(*editManager);
    auto screen = std::dynamic_pointer_cast<RUXSlidersViewController>(
        presentToolFor(RUXSharpenTransformation::classDescriptor()));
    ASSERT_TRUE(screen && screen->transformation());
    ASSERT_EQ(screen->sliders().size(), 2u);
    ASSERT_EQ(screen->sliders()[0], screen->sliderForKey("amount"));
    ASSERT_EQ(screen->sliders()[1], screen->sliderForKey("radius"));
    const Graphics::Point amountThumb = centreInWindow(screen->sliders()[0]->movingUnit());
    const Graphics::Point radiusThumb = centreInWindow(screen->sliders()[1]->movingUnit());
    EXPECT_NEAR(amountThumb.x, 24, 0.5);
    EXPECT_NEAR(radiusThumb.x, 24 + 0.2 * 272, 0.5);
    EXPECT_EQ(amountThumb.y + 80, radiusThumb.y);

    std::map<std::string, double> expected = ScreenTest::declaredValuesOf(*screen->transformation());
    drag(amountThumb, {160, amountThumb.y});
    expected["amount"] = 1.5;
    EXPECT_EQ(ScreenTest::declaredValuesOf(*screen->transformation()), expected);
    drag(radiusThumb, {296, radiusThumb.y});
    expected["radius"] = 3;
    EXPECT_EQ(ScreenTest::declaredValuesOf(*screen->transformation()), expected);
    EXPECT_EQ(ScreenTest::editStateOf(*editManager), before);

    tap(kOkButton);
    EXPECT_FALSE(isPresenting());
    EXPECT_EQ(ScreenTest::editStateOf(*editManager).undoDepth, before.undoDepth + 1);
    auto sharpen = editManager->getTransformationWithClass(RUXSharpenTransformation::classDescriptor());
    ASSERT_TRUE(sharpen);
    EXPECT_EQ(ScreenTest::declaredValuesOf(*sharpen), expected);
}

// Steps committed through the sharpening's and the vignette's screens undo and redo whole, every
// value of an edit together, and a screen opened again starts from the committed values.
TEST_F(ToneAndSharpenScreens, UndoAndRedoAcrossTheSliderScreens) {
    using Values = std::map<std::string, double>;
    auto committedValues = [this](const RUXClass& transformationClass) {
        RUXTransformationPtr t = editManager->getTransformationWithClass(transformationClass);
        return t ? ScreenTest::declaredValuesOf(*t) : Values{};
    };
    const RUXClass& sharpen = RUXSharpenTransformation::classDescriptor();
    const RUXClass& vignette = RUXVignetteTransformation::classDescriptor();

    ASSERT_TRUE(presentToolFor(sharpen));
    run("drag 24 400 160 400\ndrag 78 480 296 480");
    tap(kOkButton);
    const Values sharpenFirst = committedValues(sharpen);
    EXPECT_EQ(sharpenFirst, (Values{{"amount", 1.5}, {"radius", 3}}));

    // The vignette's bands: amount, midpoint, feather from the top, each resting in the middle.
    ASSERT_TRUE(presentToolFor(vignette));
    run("drag 160 320 58 320\ndrag 160 480 92 480");
    tap(kOkButton);
    const Values vignetteValues = committedValues(vignette);
    ASSERT_EQ(vignetteValues.size(), 3u);
    EXPECT_NEAR(vignetteValues.at("value"), -0.75, 1e-6);
    EXPECT_EQ(vignetteValues.at("midpoint"), 0.5);
    EXPECT_NEAR(vignetteValues.at("feather"), 0.25, 1e-6);

    // The radius's thumb starts where the first step left it, at the right end.
    ASSERT_TRUE(presentToolFor(sharpen));
    run("drag 296 480 160 480");
    tap(kOkButton);
    const Values sharpenSecond = committedValues(sharpen);
    EXPECT_EQ(sharpenSecond, (Values{{"amount", 1.5}, {"radius", 1.75}}));

    const std::vector<std::pair<Values, Values>> steps = {
        {{}, {}}, {sharpenFirst, {}}, {sharpenFirst, vignetteValues}, {sharpenSecond, vignetteValues}};
    for (std::size_t i = steps.size() - 1; i > 0; --i) {
        ASSERT_TRUE(editManager->canUndo());
        editManager->undo();
        EXPECT_EQ(committedValues(sharpen), steps[i - 1].first) << "undo to step " << i - 1;
        EXPECT_EQ(committedValues(vignette), steps[i - 1].second) << "undo to step " << i - 1;
    }
    for (std::size_t i = 1; i < steps.size(); ++i) {
        ASSERT_TRUE(editManager->canRedo());
        editManager->redo();
        EXPECT_EQ(committedValues(sharpen), steps[i].first) << "redo to step " << i;
        EXPECT_EQ(committedValues(vignette), steps[i].second) << "redo to step " << i;
    }
}

} // namespace
