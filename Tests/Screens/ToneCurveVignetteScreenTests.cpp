// The tone curve's screen and the vignette's: touches on the graph and the sliders change the
// working copy only, Cancel leaves the committed list, OK commits one undoable step.
#include "ToolScreenTestSupport.h"

#include <Transformation/RUXToneCurveTransformation.h>
#include <Transformation/RUXVignetteTransformation.h>
#include <View/RUXSlidersViewController.h>
#include <View/RUXToneCurveViewController.h>
#include <View/RUXToolScreens.h>

namespace {

using ScreenTest::editStateOf;
using ScreenTest::ToolScreenFixture;

class ToneCurveScreen : public ToolScreenFixture {
public:
    void SetUp() override {
        ToolScreenFixture::SetUp();
        before = editStateOf(*editManager);
        screen = present<RUXToneCurveViewController>();
        ASSERT_TRUE(screen->transformation());
        graph = screen->graphView();
        ASSERT_TRUE(graph);
    }

    // Where a curve point sits in the window.
    Graphics::Point windowPoint(Graphics::Point curvePoint) const {
        return graph->convertPointToView(graph->viewPointForCurvePoint(curvePoint), nullptr);
    }

    // A finger from one curve point to another (in curve units, which may lie off the graph), in
    // steps, then lifted; the clock then moves on so that the next touch is not a second tap.
    void drag(Graphics::Point from, Graphics::Point to) {
        host->touchDown(1, windowPoint(from));
        for (int step = 1; step <= 4; ++step) {
            const double f = step / 4.0;
            host->touchMove(1, windowPoint({from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f}));
        }
        host->touchUp(1);
        settle();
        host->advance(1);
    }

    void tapAt(Graphics::Point curvePoint) {
        host->touchDown(1, windowPoint(curvePoint));
        host->touchUp(1);
        settle();
    }

    std::vector<Graphics::Point> workingPoints() const { return screen->transformation()->points(); }

    ScreenTest::EditState before;
    std::shared_ptr<RUXToneCurveViewController> screen;
    std::shared_ptr<RUXToneCurveGraphView> graph;
};

void expectPoints(const std::vector<Graphics::Point>& actual, const std::vector<Graphics::Point>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        // A point lands where the finger did, within a fraction of a point of the 200-point graph.
        EXPECT_NEAR(actual[i].x, expected[i].x, 0.005) << i;
        EXPECT_NEAR(actual[i].y, expected[i].y, 0.005) << i;
    }
}

// Adding, dragging and removing points (by dragging off the graph and by a second tap) changes the
// working copy; the committed list stays as it was, and Cancel leaves it so.
TEST_F(ToneCurveScreen, PointsChangeTheWorkingCopyAndCancelKeepsTheCommittedList) {
    const std::vector<double>& histogram = graph->histogram();
    ASSERT_EQ(histogram.size(), 256u);
    EXPECT_GT(*std::max_element(histogram.begin(), histogram.end()), 0);
    expectPoints(graph->points(), {{0, 0}, {1, 1}});

    // A finger landing on empty graph adds a point there and drags it.
    drag({0.5, 0.7}, {0.6, 0.8});
    expectPoints(workingPoints(), {{0, 0}, {0.6, 0.8}, {1, 1}});
    // An end moves up and down only.
    drag({1, 1}, {0.9, 0.9});
    expectPoints(workingPoints(), {{0, 0}, {0.6, 0.8}, {1, 0.9}});
    // A point dragged well below the graph goes when the finger lifts.
    drag({0.6, 0.8}, {0.6, -0.6});
    expectPoints(workingPoints(), {{0, 0}, {1, 0.9}});
    // A point tapped twice goes too: the first tap adds it, the second takes it away.
    tapAt({0.3, 0.2});
    expectPoints(workingPoints(), {{0, 0}, {0.3, 0.2}, {1, 0.9}});
    host->advance(0.1);
    tapAt({0.3, 0.2});
    expectPoints(workingPoints(), {{0, 0}, {1, 0.9}});
    EXPECT_EQ(editStateOf(*editManager), before);

    screen->okCancelBarDidPressCancelButton(*screen->okCancelBar());
    settle();
    EXPECT_FALSE(isPresenting());
    EXPECT_EQ(editStateOf(*editManager), before);
}

// OK commits the curve as one step that undo takes back; the preview showed it before.
TEST_F(ToneCurveScreen, OkCommitsOneUndoableStep) {
    drag({0.4, 0.4}, {0.4, 0.65});
    const auto preview = screen->imageView()->image();
    ASSERT_TRUE(preview);
    screen->okCancelBarDidPressOkButton(*screen->okCancelBar());
    settle();
    EXPECT_FALSE(isPresenting());
    const ScreenTest::EditState after = editStateOf(*editManager);
    EXPECT_EQ(after.undoDepth, before.undoDepth + 1);
    auto committed = std::dynamic_pointer_cast<RUXToneCurveTransformation>(
        editManager->getTransformationWithClass(RUXToneCurveTransformation::classDescriptor()));
    ASSERT_TRUE(committed);
    expectPoints(committed->points(), {{0, 0}, {0.4, 0.65}, {1, 1}});
    editManager->undo();
    EXPECT_EQ(editStateOf(*editManager).transformations, before.transformations);
}

class VignetteScreen : public ToolScreenFixture {
public:
    void SetUp() override {
        ToolScreenFixture::SetUp();
        before = editStateOf(*editManager);
        const RUXToolScreen* tool = RUXToolScreenForClass(RUXVignetteTransformation::classDescriptor());
        ASSERT_TRUE(tool);
        screen = std::dynamic_pointer_cast<RUXSlidersViewController>(
            tool->make(configuration, editManager, renderer));
        ASSERT_TRUE(screen);
        root->presentViewController(screen, Toolkit::Animated::No);
        settle();
        ASSERT_TRUE(screen->transformation());
    }

    // A thumb, which rests in the middle of its 320-point band, dragged to x.
    void dragThumb(const std::shared_ptr<RUXSlider>& slider, double x) {
        const Graphics::Point from = centreInWindow(slider->movingUnit());
        host->touchDown(1, from);
        host->touchMove(1, {(from.x + x) / 2, from.y});
        host->touchMove(1, {x, from.y});
        host->touchUp(1);
        settle();
    }

    std::map<std::string, double> workingValues() const {
        return ScreenTest::declaredValuesOf(*screen->transformation());
    }

    ScreenTest::EditState before;
    std::shared_ptr<RUXSlidersViewController> screen;
};

// The amount, midpoint and feather each have a slider, top to bottom, resting at 0, 0.5 and 0.5 in
// the middle; each moves its own value alone, and Cancel leaves the committed list as it was.
TEST_F(VignetteScreen, EachSliderMovesItsOwnValue) {
    ASSERT_EQ(screen->sliders().size(), 3u);
    const std::vector<std::pair<std::string, double>> drags = {
        {"value", 58}, {"midpoint", 228}, {"feather", 92}};
    std::map<std::string, double> expected = {{"value", 0}, {"midpoint", 0.5}, {"feather", 0.5}};
    EXPECT_EQ(workingValues(), expected);
    for (std::size_t i = 0; i < drags.size(); ++i) {
        const auto& [key, x] = drags[i];
        ASSERT_EQ(screen->sliders()[i], screen->sliderForKey(key)) << key;
        EXPECT_NEAR(centreInWindow(screen->sliders()[i]->movingUnit()).x, 160, 0.5) << key;
        dragThumb(screen->sliders()[i], x);
        // The band's 272 points of travel span the range: −1 … 1 for the amount, 0 … 1 for the others.
        expected[key] = key == "value" ? (x - 160) / 136 : (x - 24) / 272;
        const std::map<std::string, double> now = workingValues();
        for (const auto& [name, value] : expected) {
            EXPECT_NEAR(now.at(name), value, 1e-6) << "after dragging " << key << ": " << name;
        }
    }
    EXPECT_EQ(editStateOf(*editManager), before);
    screen->okCancelBarDidPressCancelButton(*screen->okCancelBar());
    settle();
    EXPECT_FALSE(isPresenting());
    EXPECT_EQ(editStateOf(*editManager), before);
}

} // namespace
