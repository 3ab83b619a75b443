#include "ToolScreenTestSupport.h"

#include <Foundation/Log.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <View/RUXCropViewController.h>
#include <View/RUXRuleOfThirdsView.h>
#include <View/RUXZoomScrollView.h>

namespace {

using EditorTest::expectRectNear;
using Graphics::Rect;
using ScreenTest::kOkButton;
using ScreenTest::ToolScreenFixture;

// The photo of the zoom view's examples: 1000 × 750 pixels at scale 2, which the screen picture keeps,
// so that its cover scale for a 320-point window is 0.4267 and a zoom of 0.5 is allowed.
class CropScreen : public ToolScreenFixture {
protected:
    void SetUp() override {
        photoWidth = 1000;
        photoHeight = 750;
        ToolScreenFixture::SetUp();
    }
    std::shared_ptr<RUXCropTransformation> committedCrop() const {
        return std::dynamic_pointer_cast<RUXCropTransformation>(
            editManager->getTransformationWithClass(RUXCropTransformation::classDescriptor()));
    }
};

TEST_F(CropScreen, WindowIsTheScreenWideSquareBetweenTheBands) {
    Foundation::LogCapture log;
    auto screen = present<RUXCropViewController>();
    const RUXZoomScrollView& zoom = *screen->zoomScrollView();
    EXPECT_EQ(zoom.frame(), Rect(0, 44, 320, 476));
    EXPECT_EQ(zoom.contentInset().top, 78);
    EXPECT_EQ(zoom.contentInset().bottom, 78);
    EXPECT_EQ(zoom.contentInset().left, 0);
    EXPECT_EQ(zoom.contentInset().right, 0);
    EXPECT_EQ(zoom.targetArea(), Rect(0, 78, 320, 320));
    EXPECT_EQ(screen->blackBarTop()->frame(), Rect(0, 44, 320, 78));
    EXPECT_EQ(screen->blackBarBottom()->frame(), Rect(0, 442, 320, 78));
    EXPECT_EQ(screen->blackBarTop()->alpha(), 0.6);
    EXPECT_EQ(screen->blackBarTop()->backgroundColor(), Toolkit::Color::black());

    // Bottom to top: bar, zoom view, the two dimming bars, the grid, the title band.
    const auto& subviews = screen->view()->subviews();
    ASSERT_EQ(subviews.size(), 6u);
    EXPECT_EQ(subviews[0], screen->okCancelBar());
    EXPECT_EQ(subviews[1], screen->zoomScrollView());
    auto grid = std::dynamic_pointer_cast<RUXRuleOfThirdsView>(subviews[4]);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->frame(), Rect(0, 122, 320, 320));
    EXPECT_FALSE(grid->isUserInteractionEnabled());

    // Never cropped: the picture opens at the smallest zoom that covers the window.
    EXPECT_EQ(screen->transformation()->cropRect(), Rect(0, 0, 0, 0));
    EXPECT_NEAR(zoom.zoomScale(), 320.0 / 750, 1e-9);
    EXPECT_EQ(zoom.zoomScale(), zoom.minimumZoomScale());
    EXPECT_EQ(zoom.maximumZoomScale(), 5.0);
    EXPECT_TRUE(log.contains("Final min scale: 0.426667"));
}

TEST_F(CropScreen, PictureHasTheTurnsAndColoursButNoLookBlurOrCrop) {
    auto rotate = std::make_shared<RUXRotateTransformation>();
    rotate->rotateClockwise90Degrees();
    editManager->commitTransformation(rotate);
    auto brightness = std::make_shared<RUXBrightnessTransformation>();
    brightness->setValue(0.5f);
    editManager->commitTransformation(brightness);
    editManager->commitTransformation(std::make_shared<RUXBlurTransformation>());
    auto crop = std::make_shared<RUXCropTransformation>();
    crop->setCropRect({0, 0, 100, 100});
    crop->setOriginalRect({0, 0, 750, 1000});
    editManager->commitTransformation(crop);

    auto screen = present<RUXCropViewController>();
    const RUXTransformationList* list = screen->renderFormula()->transformations();
    ASSERT_TRUE(list);
    std::vector<RUXTransformationType> types;
    for (const auto& t : *list) {
        types.push_back(t->type());
    }
    EXPECT_EQ(types,
              (std::vector<RUXTransformationType>{RUXTransformationTypeRotate, RUXTransformationTypeNormalize,
                                                  RUXTransformationTypeBrightness}));
    // Turned and uncropped.
    auto picture = screen->zoomScrollView()->image();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->size(), Graphics::Size(750, 1000));
    tap({80, 544});
}

TEST_F(CropScreen, OkStoresTheSquareUnderTheWindowInEngineCoordinates) {
    auto screen = present<RUXCropViewController>();
    RUXZoomScrollView& zoom = *screen->zoomScrollView();
    // The picture's top-left corner at the window's top-left corner.
    zoom.setZoomScale(0.5, Toolkit::Animated::No);
    zoom.setContentOffset({0, -78});
    expectRectNear(zoom.targetRectOfOriginalImage(), Rect(0, 0, 640, 640), 1e-9);
    tap(kOkButton);
    EXPECT_FALSE(isPresenting());
    auto crop = committedCrop();
    ASSERT_TRUE(crop);
    expectRectNear(crop->cropRect(), Rect(0, 110, 640, 640), 1e-9);
    expectRectNear(crop->originalRect(), Rect(0, 0, 1000, 750), 1e-9);

    // What the editor then shows is that square.
    auto shown = renderer->renderedImage(editManager->committedImage());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size(), Graphics::Size(640, 640));
}

// A framing chosen with fingers, committed, is found again under the window on reopening, also
// when the picture was turned or mirrored before.
class CropRoundTrip : public CropScreen, public ::testing::WithParamInterface<int> {};

TEST_P(CropRoundTrip, ReopeningShowsTheSameSquare) {
    auto rotate = std::make_shared<RUXRotateTransformation>();
    for (int i = 0; i < GetParam(); ++i) {
        rotate->rotateClockwise90Degrees();
    }
    if (GetParam() == 3) {
        rotate->flipHorizontal();
    }
    editManager->commitTransformation(rotate);

    auto screen = present<RUXCropViewController>();
    run("pinch 160 282 80 190 0.4 12");
    run("drag 200 300 150 240 0.3 10");
    run("wait 2");
    settle();
    const RUXZoomScrollView& zoom = *screen->zoomScrollView();
    const Rect chosen = zoom.targetRectOfOriginalImage();
    EXPECT_GT(zoom.zoomScale(), zoom.minimumZoomScale() * 1.5);
    EXPECT_NEAR(chosen.size.width, chosen.size.height, 1e-9);
    tap(kOkButton);
    ASSERT_FALSE(isPresenting());

    auto reopened = present<RUXCropViewController>();
    const Rect shown = reopened->zoomScrollView()->targetRectOfOriginalImage();
    expectRectNear(shown, chosen, 0.01);
    tap({80, 544});
}

INSTANTIATE_TEST_SUITE_P(Turns, CropRoundTrip, ::testing::Values(0, 1, 2, 3));

} // namespace
