// The highlights-and-shadows and sharpening tool screens, opened as the toolbar opens added tools:
// dragging a slider changes only the working copy, Cancel leaves the committed list and history,
// OK commits the copy as one undoable step.
#include "ToolScreenTestSupport.h"

#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <View/RUXHighlightsShadowsViewController.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXToolScreens.h>

namespace {

using ScreenTest::kCancelButton;
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

    auto screen = std::dynamic_pointer_cast<RUXHighlightsShadowsViewController>(
        presentToolFor(RUXHighlightsShadowsTransformation::classDescriptor()));
    ASSERT_TRUE(screen && screen->transformation());
    EXPECT_NE(screen->transformation(), committed);
    // The shadows thumb starts at the committed value, a quarter of the way right of the centre.
    const Graphics::Point shadowsThumb = centreInWindow(screen->shadowsSlider()->movingUnit());
    EXPECT_NEAR(shadowsThumb.x, 160 + 0.25 * 136, 0.5);
    EXPECT_EQ(centreInWindow(screen->highlightsSlider()->movingUnit()).y + 80, shadowsThumb.y);

    run("drag 160 400 60 400");
    settle();
    EXPECT_LT(screen->transformation()->highlights(), -0.5f);
    EXPECT_FLOAT_EQ(screen->transformation()->shadows(), 0.25f);
    run("drag " + std::to_string(shadowsThumb.x) + " 480 296 480");
    settle();
    EXPECT_FLOAT_EQ(screen->transformation()->shadows(), 1.0f);
    EXPECT_EQ(ScreenTest::editStateOf(*editManager), before);
    EXPECT_EQ(committed->shadows(), 0.25f);

    const float highlights = screen->transformation()->highlights();
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

// The sharpening screen is the one-slider screen over the amount, which starts at the left end.
TEST_F(ToneAndSharpenScreens, SharpenSliderEditsTheAmountAndCancelLeavesTheList) {
    const ScreenTest::EditState before = ScreenTest::editStateOf(*editManager);
    auto screen = std::dynamic_pointer_cast<RUXScalarTransformationViewControllerBase>(
        presentToolFor(RUXSharpenTransformation::classDescriptor()));
    ASSERT_TRUE(screen && screen->transformation());
    EXPECT_NEAR(centreInWindow(screen->slider()->movingUnit()).x, 24, 0.5);
    run("drag 24 480 160 480");
    settle();
    EXPECT_FLOAT_EQ(screen->transformation()->value(), 1.5f);
    tap(kCancelButton);
    EXPECT_FALSE(isPresenting());
    EXPECT_EQ(ScreenTest::editStateOf(*editManager), before);

    screen = std::dynamic_pointer_cast<RUXScalarTransformationViewControllerBase>(
        presentToolFor(RUXSharpenTransformation::classDescriptor()));
    ASSERT_TRUE(screen && screen->transformation());
    EXPECT_EQ(screen->transformation()->value(), 0.0f) << "the cancelled copy is gone";
    run("drag 24 480 296 480");
    settle();
    tap(kOkButton);
    const ScreenTest::EditState after = ScreenTest::editStateOf(*editManager);
    EXPECT_EQ(after.undoDepth, before.undoDepth + 1);
    auto sharpen = std::static_pointer_cast<RUXSharpenTransformation>(
        editManager->getTransformationWithClass(RUXSharpenTransformation::classDescriptor()));
    ASSERT_TRUE(sharpen);
    EXPECT_EQ(sharpen->value(), 3.0f);
    EXPECT_EQ(sharpen->radius(), 1.0f);
}

} // namespace
