#include "ToolScreenTestSupport.h"

#include <Transformation/RUXBlurTransformation.h>
#include <View/RUXBlurViewController.h>

namespace {

using Graphics::Point;
using ScreenTest::ToolScreenFixture;

// The image view spans (0, 44, 320, 396) of the window.
Point unitPointAt(Point window) {
    return {window.x / 320, (window.y - 44) / 396};
}

class BlurScreen : public ToolScreenFixture {
protected:
    void SetUp() override {
        ToolScreenFixture::SetUp();
        screen = present<RUXBlurViewController>();
    }
    RUXRenderFormulaPtr request() const { return screen->imageView()->lastImage(); }
    bool isQuick(const RUXRenderFormulaPtr& formula) const {
        return formula && formula->previewMode() == RUXPreviewModeQuick &&
               formula->previewTransformationClass() == &RUXBlurTransformation::classDescriptor();
    }
    bool isHighQuality(const RUXRenderFormulaPtr& formula) const {
        return formula && formula->previewMode() == RUXPreviewModeHighQuality;
    }
    void expectPoint(Point expected) const {
        EXPECT_NEAR(screen->transformation()->point().x, expected.x, 1e-9);
        EXPECT_NEAR(screen->transformation()->point().y, expected.y, 1e-9);
    }
    std::shared_ptr<RUXBlurViewController> screen;
};

TEST_F(BlurScreen, AppearingRendersTheCentredDefaultAtHighQuality) {
    ASSERT_TRUE(isHighQuality(request()));
    expectPoint({0.5, 0.5});
    EXPECT_EQ(screen->transformation()->scale(), 1.0);
    EXPECT_EQ(screen->imageView()->image(), request()->renderedImage());
    EXPECT_TRUE(screen->imageView()->image());
    // Touching the picture places the blur; it does not ask for a comparison.
    EXPECT_FALSE(screen->imageView()->delegate());
}

TEST_F(BlurScreen, TapPlacesThePointInUnitsOfTheWholeImageView) {
    const Point taps[] = {{0, 44}, {319.9, 439.9}, {80, 143}, {160, 242}};
    for (Point p : taps) {
        tap(p);
        expectPoint(unitPointAt(p));
        EXPECT_TRUE(isHighQuality(request()));
        EXPECT_EQ(screen->imageView()->image(), request()->renderedImage());
    }
    EXPECT_EQ(screen->transformation()->scale(), 1.0);
}

TEST_F(BlurScreen, DragPreviewsQuicklyAndEndsWithOneHighQualityRender) {
    host->touchDown(1, {60, 100});
    const Point moves[] = {{80, 120}, {120, 160}, {200, 300}, {250, 330}};
    for (Point p : moves) {
        host->touchMove(1, p);
        EXPECT_TRUE(isQuick(request()));
        expectPoint(unitPointAt(p));
    }
    host->touchUp(1);
    // Lifting where the finger last moved to renders the same point at high quality.
    EXPECT_TRUE(isHighQuality(request()));
    expectPoint(unitPointAt(moves[3]));
    settle();
    EXPECT_EQ(screen->imageView()->image(), request()->renderedImage());
}

TEST_F(BlurScreen, PinchMovesAndSizesFromOneAtEachStart) {
    host->touchDown(1, {110, 240});
    host->touchDown(2, {210, 240});
    for (double d = 60; d <= 120; d += 15) {
        host->touchMove(1, {160 - d, 240});
        host->touchMove(2, {160 + d, 240});
        EXPECT_TRUE(isQuick(request()));
    }
    const double firstScale = screen->pinchGesture()->scale();
    EXPECT_GT(firstScale, 1.5);
    EXPECT_NEAR(screen->transformation()->scale(), firstScale, 1e-9);
    expectPoint(unitPointAt({160, 240}));
    host->touchUp(1);
    host->touchUp(2);
    EXPECT_TRUE(isHighQuality(request()));
    settle();

    // A second, small pinch sizes afresh rather than multiplying the first one's scale.
    host->touchDown(1, {100, 300});
    host->touchDown(2, {200, 300});
    host->touchMove(1, {94, 300});
    host->touchMove(2, {206, 300});
    host->touchMove(1, {90, 300});
    host->touchMove(2, {210, 300});
    EXPECT_LT(screen->transformation()->scale(), 1.2);
    expectPoint(unitPointAt({150, 300}));
    host->touchUp(1);
    host->touchUp(2);
    settle();
}

TEST_F(BlurScreen, PinchWithOneFingerLiftedWaitsForTheEnd) {
    host->touchDown(1, {110, 240});
    host->touchDown(2, {210, 240});
    host->touchMove(1, {80, 240});
    host->touchMove(2, {240, 240});
    host->touchMove(1, {60, 240});
    host->touchMove(2, {260, 240});
    const Point placed = screen->transformation()->point();
    const double scale = screen->transformation()->scale();
    host->touchUp(2);
    const RUXRenderFormulaPtr before = request();
    host->touchMove(1, {20, 400});
    host->touchMove(1, {10, 420});
    EXPECT_EQ(request(), before) << "nothing is rendered while one finger is left";
    expectPoint(placed);
    EXPECT_EQ(screen->transformation()->scale(), scale);
    host->touchUp(1);
    EXPECT_TRUE(isHighQuality(request()));
    settle();
}

TEST_F(BlurScreen, OkCommitsTheLastPlacement) {
    tap({240, 143});
    tap({240, 544});
    EXPECT_FALSE(isPresenting());
    auto committed = std::dynamic_pointer_cast<RUXBlurTransformation>(
        editManager->getTransformationWithClass(RUXBlurTransformation::classDescriptor()));
    ASSERT_TRUE(committed);
    EXPECT_NEAR(committed->point().x, 0.75, 1e-9);
    EXPECT_NEAR(committed->point().y, 0.25, 1e-9);
}

} // namespace

TEST_F(BlurScreen, AFingerStillMovingAfterOkDoesNotChangeWhatWasCommitted) {
    host->touchDown(1, {60, 100});
    host->touchMove(1, {120, 160});
    // A second finger presses OK while the first is still on the picture.
    host->touchDown(2, ScreenTest::kOkButton);
    host->touchUp(2);
    settle();
    auto committed = std::dynamic_pointer_cast<RUXBlurTransformation>(
        editManager->getTransformationWithClass(RUXBlurTransformation::classDescriptor()));
    ASSERT_TRUE(committed);
    const Point atOk = unitPointAt({120, 160});
    EXPECT_NEAR(committed->point().x, atOk.x, 1e-9);
    EXPECT_NEAR(committed->point().y, atOk.y, 1e-9);
    // The first finger goes on moving, then lifts: the list keeps what OK committed.
    host->touchMove(1, {250, 330});
    host->touchUp(1);
    settle();
    EXPECT_EQ(editManager->getTransformationWithClass(RUXBlurTransformation::classDescriptor()), committed);
    EXPECT_NEAR(committed->point().x, atOk.x, 1e-9);
    EXPECT_NEAR(committed->point().y, atOk.y, 1e-9);
}
