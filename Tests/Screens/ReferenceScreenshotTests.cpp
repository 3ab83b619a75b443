#include "MainScreenTestSupport.h"
#include "ToolScreenTestSupport.h"

#include <Support/ReferenceImage.h>
#include <Toolkit/CollectionView.h>
#include <Transformation/RUXExposureTransformation.h>
#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <Transformation/RUXVibranceTransformation.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <View/RUXBlurViewController.h>
#include <View/RUXCropViewController.h>
#include <View/RUXFilterBar.h>
#include <View/RUXRotateViewController.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXStraightenViewController.h>
#include <View/RUXToneCurveViewController.h>
#include <View/RUXToolScreens.h>
#include <View/RUXWhiteBalanceViewController.h>
#include <functional>

// Whole screens compared with the pictures under Tests/Reference. They catch what the layout and
// state tests cannot: a view drawn in the wrong colour, a missing line, text that no longer fits, a
// preview that stops showing its effect.
//
// The tolerance: the screens are drawn by our own rasteriser and rendered by our own engine, so on
// one machine a screenshot is the same bytes every time. What may move between machines is the
// engine's SIMD path (a different instruction set rounds a filter's intermediate values a level
// differently, and a chain of filters can add a few of those) and the font library's anti-aliasing
// of glyph edges. Six levels per channel absorb the first; the second touches a few dozen edge
// pixels at most, so up to 60 pixels (under 0.05 % of a screen) may differ by more. A real fault
// is larger than that: the thinnest thing drawn, a one-point grid line across the crop window, is
// 320 pixels at scale 1.
namespace {

constexpr TestSupport::ImageTolerance kScreenTolerance{6, 60};

::testing::AssertionResult screenMatchesReference(Hosts::HeadlessHost& host) {
    const std::shared_ptr<const Graphics::Bitmap> screen = host.display();
    if (!screen) {
        return ::testing::AssertionFailure() << "the headless window has no pixels";
    }
    return TestSupport::matchesReference(*screen, TestSupport::currentTestFileName(), kScreenTolerance,
                                         RUX_REFERENCE_DIR, RUX_SCREENSHOT_OUTPUT_DIR);
}

class MainScreenShot : public MainScreenTest::MainScreenFixture {
public:
    MainScreenShot() { screenScale = 1; }
};

TEST_F(MainScreenShot, OpeningShowsPhotoToolbarAndLookStrip) {
    EXPECT_TRUE(screenMatchesReference(*host));
}

TEST_F(MainScreenShot, LookStripScrolledToItsEnd) {
    ASSERT_TRUE(editor->filterBar());
    const std::shared_ptr<Toolkit::CollectionView>& strip = editor->filterBar()->collectionView();
    ASSERT_TRUE(strip);
    const double end = strip->contentSize().width - strip->bounds().width();
    ASSERT_GT(end, 0) << "the strip must be wider than the screen for this picture to mean anything";
    strip->setContentOffset({end, 0});
    settle();
    EXPECT_TRUE(screenMatchesReference(*host));
}

class ToolScreenShot : public ScreenTest::ToolScreenFixture {
public:
    ToolScreenShot() { screenScale = 1; }
};

struct ToolShot {
    const char* name;
    std::function<void(ScreenTest::ToolScreenFixture&)> present;
};

void PrintTo(const ToolShot& shot, std::ostream* out) {
    *out << shot.name;
}

class EachToolScreen : public ToolScreenShot, public ::testing::WithParamInterface<ToolShot> {};

TEST_P(EachToolScreen, MatchesItsReference) {
    GetParam().present(*this);
    EXPECT_TRUE(screenMatchesReference(*host));
}

template <class Screen>
ToolShot shot(const char* name) {
    return {name, [](ScreenTest::ToolScreenFixture& fixture) { fixture.present<Screen>(); }};
}

// A scalar screen after its slider's thumb was dragged from the middle three quarters of the way to
// the right end, so that the picture shows the adjustment and the slider its new value.
template <class Screen>
ToolShot dragged(const char* name) {
    return {name, [](ScreenTest::ToolScreenFixture& fixture) {
                fixture.present<Screen>();
                fixture.host->touchDown(1, {160, 480});
                fixture.host->touchMove(1, {200, 480});
                fixture.host->touchMove(1, {262, 480});
                fixture.host->touchUp(1);
                fixture.settle();
            }};
}

// An added tool's screen, opened as the toolbar opens it, after its thumb was dragged from the middle
// to x (a stop or so of exposure at 190; past 3 stops the picture is mostly white).
template <class Transformation>
ToolShot draggedTool(const char* name, double x) {
    return {name, [x](ScreenTest::ToolScreenFixture& fixture) {
                const RUXToolScreen* tool = RUXToolScreenForClass(Transformation::classDescriptor());
                ASSERT_TRUE(tool);
                fixture.root->presentViewController(
                    tool->make(fixture.configuration, fixture.editManager, fixture.renderer),
                    Toolkit::Animated::No);
                fixture.settle();
                fixture.host->touchDown(1, {160, 480});
                fixture.host->touchMove(1, {(160 + x) / 2, 480});
                fixture.host->touchMove(1, {x, 480});
                fixture.host->touchUp(1);
                fixture.settle();
            }};
}

// An added tool's screen as the toolbar opens it, after the thumbs were dragged (from, to) in turn:
// the picture shows the edit and each slider its new value.
ToolShot addedTool(const char* name, const RUXClass& (*transformationClass)(),
                   std::vector<std::pair<Graphics::Point, Graphics::Point>> drags) {
    return {name, [transformationClass, drags](ScreenTest::ToolScreenFixture& fixture) {
                const RUXToolScreen* tool = RUXToolScreenForClass(transformationClass());
                ASSERT_TRUE(tool);
                fixture.root->presentViewController(
                    tool->make(fixture.configuration, fixture.editManager, fixture.renderer),
                    Toolkit::Animated::No);
                fixture.settle();
                for (const auto& [from, to] : drags) {
                    fixture.host->touchDown(1, from);
                    fixture.host->touchMove(1, {(from.x + to.x) / 2, from.y});
                    fixture.host->touchMove(1, to);
                    fixture.host->touchUp(1);
                    fixture.settle();
                }
            }};
}

// The white balance's temperature thumb, which starts at 6504 K, dragged towards the warm end: the
// picture turns bluer.
ToolShot whiteBalanceDragged(const char* name) {
    return {name, [](ScreenTest::ToolScreenFixture& fixture) {
                auto screen = fixture.present<RUXWhiteBalanceViewController>();
                const auto& thumb = screen->temperatureSlider()->movingUnit();
                const Graphics::Point from =
                    thumb->convertPointToView({thumb->bounds().midX(), thumb->bounds().midY()}, nullptr);
                fixture.host->touchDown(1, from);
                fixture.host->touchMove(1, {from.x - 40, from.y});
                fixture.host->touchMove(1, {from.x - 90, from.y});
                fixture.host->touchUp(1);
                fixture.settle();
            }};
}

// The crop screen's picture is also the crop grid's: the rule of thirds is drawn over the window
// whenever the screen shows.
INSTANTIATE_TEST_SUITE_P(
    Screens, EachToolScreen,
    ::testing::Values(
        shot<RUXBrightnessViewController>("Brightness"), shot<RUXContrastViewController>("Contrast"),
        shot<RUXSaturationViewController>("Saturation"),
        dragged<RUXBrightnessViewController>("BrightnessRaised"),
        dragged<RUXContrastViewController>("ContrastRaised"),
        dragged<RUXSaturationViewController>("SaturationRaised"), shot<RUXBlurViewController>("Blur"),
        shot<RUXRotateViewController>("Rotate"), shot<RUXCropViewController>("CropWithGrid"),
        whiteBalanceDragged("WhiteBalanceWarmLight"),
        draggedTool<RUXExposureTransformation>("ExposureRaised", 190),
        draggedTool<RUXVibranceTransformation>("VibranceRaised", 262),
        addedTool("HighlightsShadowsMoved", &RUXHighlightsShadowsTransformation::classDescriptor,
                  {{{160, 400}, {70, 400}}, {{160, 480}, {280, 480}}}),
        addedTool("SharpenRaised", &RUXSharpenTransformation::classDescriptor,
                  {{{24, 400}, {250, 400}}, {{78, 480}, {200, 480}}})),
    [](const ::testing::TestParamInfo<ToolShot>& info) { return info.param.name; });

// While a finger drags the focus point the screen shows the quick preview: a light veil that is
// clear around the point and thickens outwards.
TEST_F(ToolScreenShot, BlurVeilWhileDragging) {
    present<RUXBlurViewController>();
    host->touchDown(1, {100, 200});
    host->touchMove(1, {110, 210});
    host->touchMove(1, {120, 220});
    settle();
    EXPECT_TRUE(screenMatchesReference(*host));
    host->touchUp(1);
}

// While the straightening slider's thumb is held after a drag to the right, the picture shows
// turned counter-clockwise and enlarged to fill its band, under the rule-of-thirds grid, and the
// thumb shows the angle.
TEST_F(ToolScreenShot, StraightenGridWhileDragging) {
    present<RUXStraightenViewController>();
    host->touchDown(1, {160, 480});
    host->touchMove(1, {180, 480});
    host->touchMove(1, {200, 480});
    settle();
    EXPECT_TRUE(screenMatchesReference(*host));
    host->touchUp(1);
}

} // namespace

namespace {

// The tone curve's screen after a finger added a point in the middle of the graph and lifted it:
// the brighter preview, the curve over the photo's histogram, the point.
TEST_F(ToolScreenShot, ToneCurveAfterDraggingAPoint) {
    auto screen = present<RUXToneCurveViewController>();
    const auto& graph = screen->graphView();
    auto windowPoint = [&](Graphics::Point p) {
        return graph->convertPointToView(graph->viewPointForCurvePoint(p), nullptr);
    };
    host->touchDown(1, windowPoint({0.5, 0.5}));
    host->touchMove(1, windowPoint({0.5, 0.6}));
    host->touchMove(1, windowPoint({0.5, 0.72}));
    host->touchUp(1);
    settle();
    EXPECT_TRUE(screenMatchesReference(*host));
}

// The vignette's screen after the amount's thumb was dragged from the middle towards the left end
// and the midpoint's towards the centre of the picture: the corners and much of the edges darkened,
// the centre as it was, each slider showing its value.
TEST_F(ToolScreenShot, VignetteAfterSliderDrag) {
    const RUXToolScreen* tool = RUXToolScreenForClass(RUXVignetteTransformation::classDescriptor());
    ASSERT_TRUE(tool);
    root->presentViewController(tool->make(configuration, editManager, renderer), Toolkit::Animated::No);
    settle();
    for (const auto& [from, to] :
         {std::pair<Graphics::Point, Graphics::Point>{{160, 320}, {58, 320}}, {{160, 400}, {100, 400}}}) {
        host->touchDown(1, from);
        host->touchMove(1, {(from.x + to.x) / 2, from.y});
        host->touchMove(1, to);
        host->touchUp(1);
        settle();
    }
    EXPECT_TRUE(screenMatchesReference(*host));
}

} // namespace
