#include "Toolkit/ToolkitTestSupport.h"

#include <Foundation/Clock.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <Toolkit/Animation.h>
#include <Toolkit/CollectionView.h>
#include <Toolkit/Window.h>
#include <gtest/gtest.h>

using namespace Toolkit;
using Graphics::Point;
using Graphics::Rect;

namespace {

// The filter strip's layout: 54 × 80 items between 7-point header and footer, scrolling sideways.
std::shared_ptr<CollectionViewFlowLayout> stripLayout() {
    auto layout = CollectionViewFlowLayout::create();
    layout->scrollDirection = ScrollDirection::Horizontal;
    layout->itemSize = {54, 80};
    layout->headerReferenceSize = {7, 7};
    layout->footerReferenceSize = {7, 7};
    return layout;
}

class StripWidthTest : public ::testing::TestWithParam<int> {};

TEST_P(StripWidthTest, ContentWidthIsTheItemsWithDefaultSpacingBetweenHeaderAndFooter) {
    const int n = GetParam();
    auto layout = stripLayout();
    layout->prepare({n}, {320, 80});
    EXPECT_EQ(layout->contentSize().width, 7 + n * 54 + (n - 1) * 10 + 7);
    EXPECT_EQ(layout->contentSize().height, 80);
    EXPECT_EQ(layout->frameForItem({0, 0}), (Rect{7, 0, 54, 80}));
    EXPECT_EQ(layout->frameForItem({0, n - 1}), (Rect{7 + (n - 1) * 64.0, 0, 54, 80}));
    EXPECT_TRUE(layout->frameForItem({0, n}).isNull());
}

INSTANTIATE_TEST_SUITE_P(Counts, StripWidthTest, ::testing::Values(1, 4, 13, 14));

TEST(CollectionViewFlowLayout, WrapsLinesAcrossTheScrollDirection) {
    auto layout = CollectionViewFlowLayout::create(); // vertical, 50 × 50, spacing 10
    layout->sectionInset = {5, 5, 5, 5};
    layout->prepare({5, 2}, {180, 400});
    // 170 points across hold three items and their gaps; five items take two lines.
    EXPECT_EQ(layout->frameForItem({0, 0}), (Rect{5, 5, 50, 50}));
    EXPECT_EQ(layout->frameForItem({0, 2}), (Rect{125, 5, 50, 50}));
    EXPECT_EQ(layout->frameForItem({0, 3}), (Rect{5, 65, 50, 50}));
    EXPECT_EQ(layout->frameForItem({1, 0}), (Rect{5, 125, 50, 50}));
    EXPECT_EQ(layout->contentSize().height, 180);
}

class CountingCell : public CollectionViewCell {
public:
    static std::shared_ptr<CountingCell> create(const Rect& frame) {
        auto cell = std::shared_ptr<CountingCell>(new CountingCell(frame));
        cell->addSubview(cell->contentView());
        ++created;
        return cell;
    }
    void prepareForReuse() override {
        CollectionViewCell::prepareForReuse();
        ++reused;
        label = -1;
    }
    int label = -1;
    static inline int created = 0;
    static inline int reused = 0;

private:
    explicit CountingCell(const Rect& frame) : CollectionViewCell(frame) {}
};

struct Strip : CollectionViewDataSource, CollectionViewDelegate {
    std::int64_t count = 14;
    int fills = 0;
    std::vector<IndexPath> selections;
    std::int64_t numberOfItemsInSection(CollectionView&, std::int64_t) override { return count; }
    std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(CollectionView& view,
                                                               const IndexPath& path) override {
        ++fills;
        auto cell = std::static_pointer_cast<CountingCell>(view.dequeueReusableCell("Cell", path));
        cell->label = static_cast<int>(path.item);
        return cell;
    }
    void didSelectItemAtIndexPath(CollectionView&, const IndexPath& path) override {
        selections.push_back(path);
    }
};

struct StripScene {
    std::shared_ptr<Window> window = Window::create({320, 200}, 1);
    std::shared_ptr<CollectionView> view = CollectionView::create({0, 100, 320, 80}, stripLayout());
    std::shared_ptr<Strip> strip = std::make_shared<Strip>();
    double time = 0;
    StripScene() {
        CountingCell::created = CountingCell::reused = 0;
        window->addSubview(view);
        view->registerClass<CountingCell>("Cell");
        view->setDataSource(strip);
        view->setCollectionViewDelegate(strip);
        window->displayIfNeeded();
    }
    void play(const std::string& script) { ToolkitTest::play(window, &time, script); }
};

TEST(CollectionView, MakesCellsOnlyForItemsOnScreenAndReusesThem) {
    StripScene s;
    EXPECT_EQ(s.view->contentSize().width, 900);
    // 320 points show items 0 to 4 (item 4 spans 263 to 317).
    EXPECT_EQ(s.view->visibleCells().size(), 5u);
    EXPECT_NE(s.view->cellForItemAtIndexPath({0, 4}), nullptr);
    EXPECT_EQ(s.view->cellForItemAtIndexPath({0, 5}), nullptr);
    s.view->setContentOffset({580, 0}); // the end: items 9 to 13
    EXPECT_EQ(s.view->cellForItemAtIndexPath({0, 0}), nullptr);
    auto last = std::static_pointer_cast<CountingCell>(s.view->cellForItemAtIndexPath({0, 13}));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->label, 13);
    EXPECT_EQ(CountingCell::created, 5); // every later cell came from the queue
    EXPECT_EQ(CountingCell::reused, 5);
    EXPECT_EQ(s.view->visibleCells().size(), 5u);
    // A reload fills the visible cells again, at the next layout.
    const int fills = s.strip->fills;
    s.view->reloadData();
    s.window->displayIfNeeded();
    EXPECT_EQ(s.strip->fills, fills + 5);
    EXPECT_EQ(CountingCell::created, 5);
}

TEST(CollectionView, ATapSelectsAndADragDoesNot) {
    Foundation::ManualClock clock;
    StripScene s;
    s.play("1d100,140 1u100,140"); // item 1 spans 71 to 125
    ASSERT_EQ(s.strip->selections.size(), 1u);
    EXPECT_EQ(s.strip->selections[0], (IndexPath{0, 1}));
    EXPECT_TRUE(s.view->cellForItemAtIndexPath({0, 1})->isSelected());
    s.play("1d40,140 1m20,140 1m0,140 1u0,140");
    EXPECT_EQ(s.strip->selections.size(), 1u);
    EXPECT_GT(s.view->contentOffset().x, 0);
    // Tapping the gap between items selects nothing.
    s.view->setContentOffset({0, 0});
    s.play("1d66,140 1u66,140");
    EXPECT_EQ(s.strip->selections.size(), 1u);
    EXPECT_EQ(s.view->indexPathsForSelectedItems(), (std::vector<IndexPath>{{0, 1}}));
}

TEST(CollectionView, ScrollsToAnItemWithTheLeastMovement) {
    Foundation::ManualClock clock;
    StripScene s;
    s.view->scrollToItemAtIndexPath({0, 8}, CollectionViewScrollPosition::None, Animated::Yes);
    for (int i = 0; i < 100 && animationsInFlight(); ++i) {
        clock.advance(std::chrono::milliseconds(16));
        Foundation::RunLoop::main().runOnce();
    }
    // Item 8 spans 519 to 573: it ends at the right edge.
    EXPECT_EQ(s.view->contentOffset().x, 573 - 320);
    EXPECT_NE(s.view->cellForItemAtIndexPath({0, 8}), nullptr);
    s.view->scrollToItemAtIndexPath({0, 6}, CollectionViewScrollPosition::None, Animated::No);
    EXPECT_EQ(s.view->contentOffset().x, 573 - 320); // already visible: no movement
    s.view->scrollToItemAtIndexPath({0, 13}, CollectionViewScrollPosition::CenteredHorizontally,
                                    Animated::No);
    EXPECT_EQ(s.view->contentOffset().x, 580); // clamped at the end
}

TEST(CollectionView, UnregisteredIdentifierGivesNoCell) {
    StripScene s;
    Foundation::LogCapture capture;
    EXPECT_EQ(s.view->dequeueReusableCell("Missing", {0, 0}), nullptr);
    EXPECT_TRUE(capture.contains("Missing"));
}

} // namespace
