// The filter strip on its own, laid out without a window and driven through its collection view.
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Editor/EditorTestSupport.h>
#include <Foundation/Bundle.h>
#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <Toolkit/CollectionView.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <View/RUXFilterBar.h>
#include <View/RUXFilterBarCell.h>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <mutex>

namespace {

using Toolkit::IndexPath;

// Answers a distinct one-pixel picture per look; one look can be held back until released.
class FakeThumbnails : public RUXPreviewImageRenderer {
public:
    std::shared_ptr<const Graphics::BitmapImage>
    thumbnailPreviewImageForTransformation(const RUXTransformationPtr& filter) override {
        std::shared_future<void> wait;
        {
            // The test changes which look is held while earlier thumbnail tasks still run.
            std::lock_guard lock(m_mutex);
            if (filter == m_heldBack) {
                wait = m_release;
            }
        }
        if (wait.valid()) {
            wait.wait();
        }
        calls.fetch_add(1);
        return pictureFor(filter);
    }
    std::shared_ptr<const Graphics::BitmapImage> pictureFor(const RUXTransformationPtr& filter) {
        std::lock_guard lock(m_mutex);
        auto& picture = m_pictures[filter.get()];
        if (!picture) {
            picture = EditorTest::makePhoto(1, 1);
        }
        return picture;
    }

    void holdBack(RUXTransformationPtr filter, std::shared_future<void> release) {
        std::lock_guard lock(m_mutex);
        m_heldBack = std::move(filter);
        m_release = std::move(release);
    }
    std::atomic<int> calls{0};

private:
    std::mutex m_mutex; // guards everything below
    RUXTransformationPtr m_heldBack;
    std::shared_future<void> m_release;
    std::map<const RUXImageTransformation*, std::shared_ptr<const Graphics::BitmapImage>> m_pictures;
};

class Choices : public RUXFilterBarDelegate {
public:
    void filterBarDidSelectFilter(RUXFilterBar&, const RUXTransformationPtr& filter) override {
        chosen.push_back(filter);
    }
    std::vector<RUXTransformationPtr> chosen;
};

class Configuration : public RUXImageEditorConfigurationProtocol {
public:
    explicit Configuration(bool offersOriginal) : m_offersOriginal(offersOriginal) {}
    std::string title() const override { return ""; }
    std::string nextButton() const override { return ""; }
    std::optional<std::string> nameForTransformation(const RUXImageTransformation& t) const override {
        return m_sample.nameForTransformation(t);
    }
    bool isTransformationEnabled(const RUXClass& c) const override {
        return m_offersOriginal || &c != &RUXFilterIdentity::classDescriptor();
    }

private:
    bool m_offersOriginal;
    RUXImageEditorSampleConfiguration m_sample;
};

class FilterBar : public ::testing::Test {
protected:
    void SetUp() override { makeBar(375, true); }
    void TearDown() override { settle(); }

    void makeBar(double width, bool offersOriginal) {
        bar = RUXFilterBar::create({0, 0, width, 80}, std::make_shared<Configuration>(offersOriginal));
        bar->setPreviewImageRenderer(thumbnails);
        bar->setDelegate(choices);
        bar->layoutIfNeeded();
        bar->collectionView()->layoutIfNeeded();
    }
    // Runs the main loop until every thumbnail task has delivered.
    void settle() {
        ASSERT_TRUE(Foundation::RunLoop::main().runUntil(
            [] { return Foundation::globalQueueUnfinishedTaskCount() == 0; }, std::chrono::seconds(20)));
        Foundation::RunLoop::main().runUntilIdle();
    }
    std::shared_ptr<RUXFilterBarCell> cellAt(std::int64_t item) {
        return std::dynamic_pointer_cast<RUXFilterBarCell>(
            bar->collectionView()->cellForItemAtIndexPath({0, item}));
    }
    // What a tap on an entry does.
    void tapItem(std::int64_t item) {
        bar->collectionView()->collectionViewDelegate()->didSelectItemAtIndexPath(*bar->collectionView(),
                                                                                  {0, item});
    }
    std::vector<std::int64_t> highlightedItems() {
        std::vector<std::int64_t> items;
        for (std::int64_t i = 0; i < std::int64_t(bar->filters().size()); ++i) {
            if (auto cell = cellAt(i); cell && cell->isHighlightShown()) {
                items.push_back(i);
            }
        }
        return items;
    }

    std::shared_ptr<FakeThumbnails> thumbnails = std::make_shared<FakeThumbnails>();
    std::shared_ptr<Choices> choices = std::make_shared<Choices>();
    std::shared_ptr<RUXFilterBar> bar;
};

TEST_F(FilterBar, OffersOriginalAndTheThirteenLooksInTheStripsOrder) {
    std::vector<std::string> names;
    for (const auto& filter : bar->filters()) {
        names.push_back(RUXImageEditorSampleConfiguration().nameForTransformation(*filter).value_or("?"));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Original", "Cantata", "Homophony", "Chorale", "Etude",
                                               "Fugue", "March", "Nocturne", "Opera", "Overture", "Serenade",
                                               "Symphony", "Rhapsody", "Prelude"}));
    // 7 + 14 × 54 + 13 × 10 + 7.
    EXPECT_DOUBLE_EQ(bar->collectionView()->contentSize().width, 900);
    EXPECT_EQ(bar->collectionView()->frame(), Graphics::Rect(0, 0, 375, 80));
    ASSERT_NE(cellAt(1), nullptr);
    EXPECT_EQ(cellAt(1)->text(), "Cantata");
    EXPECT_EQ(cellAt(1)->frame(), Graphics::Rect(71, 0, 54, 80));
    settle();
    EXPECT_EQ(cellAt(1)->image(), thumbnails->pictureFor(bar->filters()[1]));
}

TEST_F(FilterBar, WithoutOriginalTheFirstLookIsEntryZero) {
    makeBar(375, false);
    ASSERT_EQ(bar->filters().size(), 13u);
    EXPECT_STREQ(bar->filters()[0]->transformationClass().name, "RUXFilterValencia");
    EXPECT_EQ(bar->selectedFilterIndex(), 0);
}

TEST_F(FilterBar, TappingReportsOnlyANewChoiceAndMovesTheHighlight) {
    EXPECT_EQ(highlightedItems(), (std::vector<std::int64_t>{0})) << "the first entry starts highlighted";
    tapItem(0);
    EXPECT_TRUE(choices->chosen.empty());
    tapItem(2);
    ASSERT_EQ(choices->chosen.size(), 1u);
    EXPECT_EQ(choices->chosen[0], bar->filters()[2]) << "the bar's own object must be reported";
    EXPECT_EQ(highlightedItems(), (std::vector<std::int64_t>{2}));
}

TEST_F(FilterBar, NoCommittedLookHighlightsNothingUntilTheFirstTap) {
    bar->setEnabledFilter(nullptr);
    bar->reloadData();
    bar->collectionView()->layoutIfNeeded();
    EXPECT_EQ(bar->selectedFilterIndex(), RUXFilterBar::kNotFound);
    EXPECT_TRUE(highlightedItems().empty());
    tapItem(0);
    ASSERT_EQ(choices->chosen.size(), 1u);
    EXPECT_EQ(choices->chosen[0], bar->filters()[0]);
    EXPECT_EQ(highlightedItems(), (std::vector<std::int64_t>{0}));
}

TEST_F(FilterBar, EnabledFilterIsFoundByIdentityAndScrolledTo) {
    const RUXTransformationPtr last = bar->filters().back();
    bar->setEnabledFilter(last->copy());
    EXPECT_EQ(bar->selectedFilterIndex(), RUXFilterBar::kNotFound) << "a copy is not the bar's entry";
    settle();
    EXPECT_EQ(bar->collectionView()->contentOffset().x, 0);

    bar->setEnabledFilter(last);
    bar->reloadData();
    EXPECT_EQ(bar->selectedFilterIndex(), 13);
    // The scroll is animated: wait until it shows the whole last entry.
    auto& strip = *bar->collectionView();
    const double target = strip.collectionViewLayout()->frameForItem({0, 13}).maxX() - 375;
    ASSERT_TRUE(
        Foundation::RunLoop::main().runUntil([&] { return strip.contentOffset().x >= target - 0.5; }));
    settle();
    bar->collectionView()->layoutIfNeeded();
    ASSERT_NE(cellAt(13), nullptr);
    EXPECT_TRUE(cellAt(13)->isHighlightShown());
}

TEST_F(FilterBar, ALateThumbnailForALookTheCellNoLongerShowsIsDropped) {
    // One entry wide, so that scrolling by an entry hands the same cell to the next look.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    makeBar(61, true);
    settle();
    const RUXTransformationPtr first = bar->filters()[0], fourth = bar->filters()[3];
    thumbnails->holdBack(first, released);
    bar->reloadData();
    bar->collectionView()->layoutIfNeeded();
    const std::shared_ptr<RUXFilterBarCell> cell = cellAt(0);
    ASSERT_NE(cell, nullptr);

    // The first look's thumbnail is still being rendered when the cell moves on to the fourth.
    bar->collectionView()->setContentOffset({3 * 64.0, 0});
    bar->collectionView()->layoutIfNeeded();
    ASSERT_EQ(cellAt(3), cell) << "the cell was not reused";
    EXPECT_EQ(cell->image(), nullptr) << "a reused cell must not show its old look's picture";
    EXPECT_EQ(cell->text(), "Chorale");
    // The fourth look's thumbnail arrives first; the first look's, arriving after it, must not
    // replace it.
    ASSERT_TRUE(Foundation::RunLoop::main().runUntil(
        [&] { return cell->image() == thumbnails->pictureFor(fourth); }, std::chrono::seconds(20)));
    release.set_value();
    settle();
    EXPECT_EQ(cell->image(), thumbnails->pictureFor(fourth));
}

TEST_F(FilterBar, ThumbnailsOutliveNeitherTheProviderNorTheCells) {
    std::weak_ptr<FakeThumbnails> weak = thumbnails;
    bar->reloadData();
    bar->collectionView()->layoutIfNeeded();
    thumbnails.reset();
    bar.reset();
    settle();
    EXPECT_TRUE(weak.expired());
}

} // namespace

namespace {

// Looks of the host's own come after the built-in ones, under their own names, with thumbnails;
// picking one reports that very object.
TEST_F(FilterBar, UserLooksFollowTheBuiltInLooksWithThumbnails) {
    auto configuration = std::make_shared<RUXImageEditorSampleConfiguration>();
    auto table = std::make_shared<RUXCubeLookupTable>();
    table->dimension = 2;
    table->data = std::make_shared<std::vector<std::uint8_t>>(8 * 16);
    auto dusk = std::make_shared<RUXUserLookTransformation>("Dusk", "dusk.cube", table);
    auto film = std::make_shared<RUXUserLookTransformation>("Film", "", table);
    configuration->addUserLook(dusk);
    configuration->addUserLook(nullptr);
    configuration->addUserLook(film);
    bar = RUXFilterBar::create({0, 0, 1100, 80}, configuration);
    bar->setPreviewImageRenderer(thumbnails);
    bar->setDelegate(choices);
    bar->layoutIfNeeded();
    bar->collectionView()->layoutIfNeeded();

    ASSERT_EQ(bar->filters().size(), 16u);
    EXPECT_EQ(bar->filters()[14], dusk);
    EXPECT_EQ(bar->filters()[15], film);
    ASSERT_NE(cellAt(15), nullptr);
    EXPECT_EQ(cellAt(14)->text(), "Dusk");
    EXPECT_EQ(cellAt(15)->text(), "Film");
    settle();
    EXPECT_EQ(cellAt(15)->image(), thumbnails->pictureFor(film));
    tapItem(14);
    ASSERT_EQ(choices->chosen.size(), 1u);
    EXPECT_EQ(choices->chosen[0], dusk);
}

} // namespace
