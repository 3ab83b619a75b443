#include <Editor/EditorTestSupport.h>
#include <Foundation/Log.h>
#include <Foundation/NotificationCenter.h>
#include <Foundation/RunLoop.h>
#include <Graphics/BitmapContext.h>
#include <Toolkit/Animation.h>
#include <View/RUXDrawingUtility.h>
#include <View/RUXRuleOfThirdsView.h>
#include <View/RUXZoomScrollView.h>
#include <chrono>
#include <gtest/gtest.h>

namespace {

using Graphics::Rect;

std::shared_ptr<const Graphics::BitmapImage> pictureOf(int w, int h) {
    return EditorTest::makePhoto(w, h);
}

using EditorTest::expectRectNear;

// The crop screen's zoom view on its own, without a window.
class ZoomView : public ::testing::Test {
protected:
    void SetUp() override { zoom = RUXZoomScrollView::create({0, 44, 320, 476}); }
    static void finishAnimations() {
        Foundation::RunLoop::main().runUntil([] { return !Toolkit::animationsInFlight(); },
                                             std::chrono::seconds(5));
    }
    std::shared_ptr<RUXZoomScrollView> zoom;
};

struct CoverCase {
    int imageWidth, imageHeight;
    double targetWidth, targetHeight;
    double minimum;
};

class ZoomCover : public ZoomView, public ::testing::WithParamInterface<CoverCase> {};

TEST_P(ZoomCover, SmallestZoomJustCoversTheTarget) {
    const CoverCase c = GetParam();
    zoom->setTargetArea({0, 10, c.targetWidth, c.targetHeight});
    zoom->setImage(pictureOf(c.imageWidth, c.imageHeight));
    EXPECT_NEAR(zoom->minimumZoomScale(), c.minimum, 1e-12);
    EXPECT_NEAR(zoom->zoomScale(), c.minimum, 1e-12);
    EXPECT_EQ(zoom->maximumZoomScale(), 5.0);
    const Graphics::Size zoomed = zoom->imageView()->frame().size;
    EXPECT_GE(zoomed.width + 1e-9, c.targetWidth);
    EXPECT_GE(zoomed.height + 1e-9, c.targetHeight);
    EXPECT_TRUE(std::abs(zoomed.width - c.targetWidth) < 1e-9 ||
                std::abs(zoomed.height - c.targetHeight) < 1e-9);
    EXPECT_EQ(zoom->contentSize(), zoomed);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ZoomCover,
                         ::testing::Values(CoverCase{1000, 750, 320, 320, 320.0 / 750},
                                           CoverCase{750, 1000, 320, 320, 320.0 / 750},
                                           CoverCase{200, 100, 320, 320, 3.2},
                                           CoverCase{4000, 1000, 320, 476, 0.476}));

TEST_F(ZoomView, LogsTheCoverScaleAndLeavesAnEmptyViewAlone) {
    Foundation::LogCapture log;
    zoom->setFrame({0, 44, 320, 400});
    zoom->setTargetArea({0, 40, 320, 320});
    EXPECT_TRUE(log.lines().empty()) << "nothing is fitted without an image";
    EXPECT_EQ(zoom->zoomScale(), 1);
    zoom->setImage(pictureOf(1000, 750));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Final min scale: 0.426667"});
    // Centred in the 400-point height the view has without insets.
    expectRectNear(zoom->imageView()->frame(), Rect(0, 40, 426.6666667, 320), 1e-6);

    // A zero-sized image keeps the limits at 1 and is not centred.
    zoom->setImage(pictureOf(1, 1));
    zoom->setImage(nullptr);
    EXPECT_EQ(log.lines().size(), 2u);
}

TEST_F(ZoomView, TargetAreaFollowsTheBoundsUntilSetExplicitly) {
    zoom->layoutIfNeeded();
    EXPECT_EQ(zoom->targetArea().size, Graphics::Size(320, 476));
    EXPECT_FALSE(zoom->targetAreaManuallySet());
    zoom->setTargetArea({0, 78, 320, 320});
    zoom->setFrame({0, 44, 320, 500});
    zoom->setNeedsLayout();
    zoom->layoutIfNeeded();
    EXPECT_EQ(zoom->targetArea(), Rect(0, 78, 320, 320));
}

TEST_F(ZoomView, RectangleUnderTheTargetComesFromZoomOffsetAndInset) {
    zoom->setFrame({0, 44, 320, 400});
    zoom->setContentInset({40, 0, 40, 0});
    zoom->setTargetArea({0, 40, 320, 320});
    zoom->setImage(pictureOf(1000, 750));
    zoom->setZoomScale(0.5, Toolkit::Animated::No);
    zoom->setContentOffset({100, -40});
    expectRectNear(zoom->targetRectOfOriginalImage(), Rect(200, 0, 640, 640), 1e-9);
}

TEST_F(ZoomView, SizeChangesAndDeviceTurnsRefitToTheSmallestZoom) {
    zoom->setTargetArea({0, 78, 320, 320});
    zoom->setImage(pictureOf(1000, 750));
    zoom->setZoomScale(2, Toolkit::Animated::No);
    zoom->setFrame({0, 44, 320, 500});
    EXPECT_NEAR(zoom->zoomScale(), 320.0 / 750, 1e-12);
    zoom->setZoomScale(2, Toolkit::Animated::No);
    const TestSupport::DeviceOrientation restoreOrientation;
    Foundation::setCurrentDeviceOrientation(Foundation::DeviceOrientation::Portrait);
    EXPECT_NEAR(zoom->zoomScale(), 320.0 / 750, 1e-12);
}

TEST_F(ZoomView, SmallImageFloatsInTheMiddleOfTheInsetArea) {
    zoom->setZoomEnabled(false);
    zoom->setContentInset({78, 0, 78, 0});
    zoom->setImage(pictureOf(100, 50));
    EXPECT_EQ(zoom->zoomScale(), 1);
    // 320 × (476 − 156) available.
    EXPECT_EQ(zoom->imageView()->frame(), Rect(110, 135, 100, 50));
}

TEST_F(ZoomView, DoubleTapZoomsInAroundThePointAndBackOut) {
    zoom->setTargetArea({0, 78, 320, 320});
    zoom->setImage(pictureOf(1000, 750));
    const double minimum = zoom->minimumZoomScale();
    // Four times closer: a quarter of the zoomed frame's size in image points, centred on the point.
    const Graphics::Point centre = zoom->imageView()->convertPointToView({500, 375}, zoom);
    expectRectNear(zoom->zoomRectForScale(float(minimum * 4), centre),
                   Rect(500 - 125, 375 - 93.75, 250, 187.5), 1e-3);

    zoom->doubleTappedAtPoint(centre);
    finishAnimations();
    EXPECT_GT(zoom->zoomScale(), minimum * 2);
    zoom->handleDoubleTapFromPoint(centre);
    finishAnimations();
    EXPECT_NEAR(zoom->zoomScale(), minimum, 1e-9);
}

TEST(CropGrid, StrokeRectangleLiesInsideTheEdges) {
    EXPECT_EQ(RUXRectForStrokeOfWidth(2, {0, 0, 320, 320}), Rect(1, 1, 318, 318));
    EXPECT_EQ(RUXRectForStrokeOfWidth(1, {10, 20, 30, 40}), Rect(10.5, 20.5, 29, 39));
}

TEST(CropGrid, DrawsASolidBorderAndDashedThirds) {
    auto grid = RUXRuleOfThirdsView::create({0, 0, 320, 320});
    EXPECT_FALSE(grid->isOpaque());
    EXPECT_FALSE(grid->isUserInteractionEnabled());
    auto context = Graphics::BitmapContext::create(320, 320);
    // A view draws top-down, as the compositor sets its context up.
    context->translateCTM(0, 320);
    context->scaleCTM(1, -1);
    grid->draw(*context);
    const Graphics::Bitmap& bitmap = context->bitmap();
    auto alphaAt = [&](int x, int y) { return int(EditorTest::pixel(bitmap, x, y)[3]); };
    // The 2-point border fills the outermost two pixels on every side and nothing inside it.
    for (int i : {0, 1}) {
        EXPECT_EQ(alphaAt(i, 50), 255);
        EXPECT_EQ(alphaAt(319 - i, 50), 255);
        EXPECT_EQ(alphaAt(50, i), 255);
        EXPECT_EQ(alphaAt(50, 319 - i), 255);
    }
    EXPECT_EQ(alphaAt(50, 50), 0);
    // The lines at a third sit half a point further down and right: y 106.67 + 0.5 covers row 107
    // most, x 213.33 + 0.5 column 213. Along a line 3 on and 3 off alternate.
    int on = 0, off = 0;
    for (int x = 10; x < 100; ++x) {
        (alphaAt(x, 107) > 128 ? on : off)++;
    }
    EXPECT_GT(on, 30);
    EXPECT_GT(off, 20);
    EXPECT_EQ(alphaAt(50, 100), 0);
    on = 0;
    for (int y = 10; y < 100; ++y) {
        on += alphaAt(213, y) > 0;
    }
    EXPECT_GT(on, 30);
}

} // namespace
