#include <Foundation/Dispatch.h>
#include <Transformation/RUXFilters.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXFilterBar.h>
#include <View/RUXFilterBarCell.h>

namespace {

constexpr std::int32_t kStripColor = 0x191919;
constexpr const char* kCellReuseIdentifier = "RUXFilterBarCellReuseIdentifier";
constexpr Graphics::Size kItemSize{54, 80};
// A gap before the first and after the last entry.
constexpr Graphics::Size kEdgeGap{7, 7};

} // namespace

// The collection view's data source and delegate, an object of its own so that the collection view
// can hold it without the bar exposing those interfaces.
class RUXFilterBar::DataSource final : public Toolkit::CollectionViewDataSource,
                                       public Toolkit::CollectionViewDelegate {
public:
    explicit DataSource(RUXFilterBar& bar) : m_bar(bar) {}

    std::int64_t numberOfItemsInSection(Toolkit::CollectionView&, std::int64_t) override {
        return std::int64_t(m_bar.m_filters.size());
    }
    std::shared_ptr<Toolkit::CollectionViewCell>
    cellForItemAtIndexPath(Toolkit::CollectionView& view, const Toolkit::IndexPath& indexPath) override {
        return m_bar.cellForItem(view, indexPath);
    }
    void didSelectItemAtIndexPath(Toolkit::CollectionView&, const Toolkit::IndexPath& indexPath) override {
        m_bar.didSelectItem(indexPath.item);
    }

private:
    // The bar owns this object and outlives it.
    RUXFilterBar& m_bar;
};

std::shared_ptr<RUXFilterBar>
RUXFilterBar::create(const Graphics::Rect& frame,
                     std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration) {
    std::shared_ptr<RUXFilterBar> bar(new RUXFilterBar(frame, std::move(configuration)));
    bar->m_filters = bar->enabledFilters();
    bar->setupCollectionView();
    if (!bar->m_filters.empty()) {
        // The first offered look starts as the highlighted entry; selecting it again here changes
        // nothing and tells nobody.
        bar->m_collectionView->selectItemAtIndexPath(Toolkit::IndexPath{0, 0}, Toolkit::Animated::No,
                                                     Toolkit::CollectionViewScrollPosition::None);
        bar->didSelectItem(0);
    }
    return bar;
}

RUXFilterBar::RUXFilterBar(const Graphics::Rect& frame,
                           std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration)
    : Toolkit::View(frame), m_configuration(std::move(configuration)) {
    setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
}

RUXFilterBar::~RUXFilterBar() = default;

std::vector<RUXTransformationPtr> RUXFilterBar::enabledFilters() const {
    // "Original" first, then the looks in the strip's order (alphabetical by their English names).
    static const std::vector<const RUXClass*> classes{
        &RUXFilterIdentity::classDescriptor(), &RUXFilterValencia::classDescriptor(),
        &RUXFilterInstant::classDescriptor(),  &RUXFilterPro::classDescriptor(),
        &RUXFilterTokyo::classDescriptor(),    &RUXFilterCrema::classDescriptor(),
        &RUXFilterVivid::classDescriptor(),    &RUXFilterAden::classDescriptor(),
        &RUXFilterLark::classDescriptor(),     &RUXFilterJuno::classDescriptor(),
        &RUXFilterLudwig::classDescriptor(),   &RUXFilterSlumber::classDescriptor(),
        &RUXFilterReyes::classDescriptor(),    &RUXFilterCaprice::classDescriptor()};
    std::vector<RUXTransformationPtr> filters;
    if (!m_configuration) {
        return filters;
    }
    for (const RUXClass* lookClass : classes) {
        if (m_configuration->isTransformationEnabled(*lookClass)) {
            filters.push_back(lookClass->create());
        }
    }
    // The host's own looks follow; anything that would not fill the look slot is left out.
    for (const RUXTransformationPtr& look : m_configuration->userLooks()) {
        if (look && look->type() == RUXTransformationTypeFilter) {
            filters.push_back(look);
        }
    }
    return filters;
}

void RUXFilterBar::setupCollectionView() {
    auto layout = Toolkit::CollectionViewFlowLayout::create();
    layout->scrollDirection = Toolkit::ScrollDirection::Horizontal;
    layout->itemSize = kItemSize;
    layout->headerReferenceSize = kEdgeGap;
    layout->footerReferenceSize = kEdgeGap;
    m_collectionView = Toolkit::CollectionView::create({}, layout);
    m_dataSource = std::make_shared<DataSource>(*this);
    m_collectionView->setDataSource(m_dataSource);
    m_collectionView->setCollectionViewDelegate(m_dataSource);
    m_collectionView->setBackgroundColor(RUXColorWithHexCode(kStripColor));
    m_collectionView->setShowsHorizontalScrollIndicator(false);
    m_collectionView->setShowsVerticalScrollIndicator(false);
    m_collectionView->registerClass<RUXFilterBarCell>(kCellReuseIdentifier);
    addSubview(m_collectionView);
}

std::shared_ptr<Toolkit::CollectionViewCell> RUXFilterBar::cellForItem(Toolkit::CollectionView& view,
                                                                       const Toolkit::IndexPath& indexPath) {
    if (indexPath.item < 0 || std::size_t(indexPath.item) >= m_filters.size()) {
        return nullptr;
    }
    const RUXTransformationPtr& filter = m_filters[std::size_t(indexPath.item)];
    auto cell = std::dynamic_pointer_cast<RUXFilterBarCell>(
        view.dequeueReusableCell(kCellReuseIdentifier, indexPath));
    if (!cell) {
        return nullptr;
    }
    cell->setText(m_configuration ? m_configuration->nameForTransformation(*filter).value_or("") : "");
    if (m_selectedFilterIndex == indexPath.item) {
        cell->highlight();
    } else {
        cell->removeHighlight();
    }
    if (cell->representedFilter() != filter) {
        // A reused cell shows nothing until its own thumbnail arrives.
        cell->setImage(nullptr);
        cell->setRepresentedFilter(filter);
    }
    requestThumbnail(cell, filter);
    return cell;
}

void RUXFilterBar::requestThumbnail(const std::shared_ptr<RUXFilterBarCell>& cell,
                                    const RUXTransformationPtr& filter) {
    // The task holds the provider and the cell weakly: neither a closed screen nor a cell that has
    // left the strip is kept alive by it, and neither is ever released on the pool thread.
    std::weak_ptr<RUXPreviewImageRenderer> weakProvider = m_previewImageRenderer;
    std::weak_ptr<RUXFilterBarCell> weakCell = cell;
    Foundation::dispatchAsyncGlobal([weakProvider, weakCell, filter] {
        std::shared_ptr<RUXPreviewImageRenderer> provider = weakProvider.lock();
        if (!provider) {
            return;
        }
        std::shared_ptr<const Graphics::BitmapImage> image =
            provider->thumbnailPreviewImageForTransformation(filter);
        Foundation::performOnMainThread(
            [provider = std::move(provider), weakCell, filter, image = std::move(image)] {
                std::shared_ptr<RUXFilterBarCell> cell = weakCell.lock();
                // A cell reused for another look meanwhile must not show this one's thumbnail.
                if (cell && cell->representedFilter() == filter) {
                    cell->setImage(image);
                }
            },
            Foundation::Wait::No);
    });
}

void RUXFilterBar::didSelectItem(std::int64_t item) {
    if (m_selectedFilterIndex == item || item < 0 || std::size_t(item) >= m_filters.size()) {
        return;
    }
    if (m_selectedFilterIndex != kNotFound) {
        if (auto old = std::dynamic_pointer_cast<RUXFilterBarCell>(
                m_collectionView->cellForItemAtIndexPath({0, m_selectedFilterIndex}))) {
            old->removeHighlight();
        }
    }
    m_selectedFilterIndex = item;
    if (std::shared_ptr<RUXFilterBarDelegate> delegate = m_delegate.lock()) {
        delegate->filterBarDidSelectFilter(*this, m_filters[std::size_t(item)]);
    }
    if (auto cell = std::dynamic_pointer_cast<RUXFilterBarCell>(
            m_collectionView->cellForItemAtIndexPath({0, item}))) {
        cell->highlight();
    }
}

void RUXFilterBar::setEnabledFilter(const RUXTransformationPtr& filter) {
    m_selectedFilterIndex = kNotFound;
    if (!filter) {
        return;
    }
    for (std::size_t i = 0; i < m_filters.size(); ++i) {
        // Identity: a copy of one of the bar's looks is not that entry.
        if (m_filters[i] == filter) {
            m_selectedFilterIndex = std::int64_t(i);
            m_collectionView->scrollToItemAtIndexPath({0, m_selectedFilterIndex},
                                                      Toolkit::CollectionViewScrollPosition::None,
                                                      Toolkit::Animated::Yes);
            return;
        }
    }
}

void RUXFilterBar::reloadData() {
    m_collectionView->reloadData();
}

void RUXFilterBar::layoutSubviews() {
    Toolkit::View::layoutSubviews();
    m_collectionView->setFrame({0, 0, frame().width(), frame().height()});
}
