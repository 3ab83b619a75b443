#include <Foundation/Log.h>
#include <Toolkit/CollectionView.h>
#include <algorithm>
#include <cmath>

namespace Toolkit {

// ---- Flow layout ----

void CollectionViewFlowLayout::prepare(const std::vector<std::int64_t>& itemCounts, Graphics::Size viewSize) {
    const bool horizontal = scrollDirection == ScrollDirection::Horizontal;
    // Along the scroll direction ("main") and across it ("cross").
    const double itemMain = std::max(0.0, horizontal ? itemSize.width : itemSize.height);
    const double itemCross = std::max(0.0, horizontal ? itemSize.height : itemSize.width);
    const double insetMainStart = horizontal ? sectionInset.left : sectionInset.top;
    const double insetMainEnd = horizontal ? sectionInset.right : sectionInset.bottom;
    const double insetCrossStart = horizontal ? sectionInset.top : sectionInset.left;
    const double insetCrossEnd = horizontal ? sectionInset.bottom : sectionInset.right;
    const double header = horizontal ? headerReferenceSize.width : headerReferenceSize.height;
    const double footer = horizontal ? footerReferenceSize.width : footerReferenceSize.height;
    const double crossAvailable =
        (horizontal ? viewSize.height : viewSize.width) - insetCrossStart - insetCrossEnd;
    const double step = itemCross + minimumInteritemSpacing;
    const std::int64_t perLine =
        step > 0
            ? std::max<std::int64_t>(
                  1, static_cast<std::int64_t>(std::floor((crossAvailable + minimumInteritemSpacing) / step)))
            : 1;

    m_frames.assign(itemCounts.size(), {});
    double position = 0, crossExtent = 0;
    for (std::size_t section = 0; section < itemCounts.size(); ++section) {
        const std::int64_t count = std::max<std::int64_t>(0, itemCounts[section]);
        position += header + insetMainStart;
        auto& frames = m_frames[section];
        frames.reserve(static_cast<std::size_t>(count));
        for (std::int64_t i = 0; i < count; ++i) {
            const double main = position + double(i / perLine) * (itemMain + minimumLineSpacing);
            const double cross = insetCrossStart + double(i % perLine) * step;
            frames.push_back(horizontal ? Graphics::Rect(main, cross, itemMain, itemCross)
                                        : Graphics::Rect(cross, main, itemCross, itemMain));
            crossExtent = std::max(crossExtent, cross + itemCross + insetCrossEnd);
        }
        const std::int64_t lines = (count + perLine - 1) / perLine;
        if (lines > 0)
            position += double(lines) * itemMain + double(lines - 1) * minimumLineSpacing;
        position += insetMainEnd + footer;
    }
    m_contentSize =
        horizontal ? Graphics::Size{position, crossExtent} : Graphics::Size{crossExtent, position};
}

Graphics::Rect CollectionViewFlowLayout::frameForItem(const IndexPath& indexPath) const {
    if (indexPath.section < 0 || indexPath.section >= static_cast<std::int64_t>(m_frames.size()))
        return Graphics::Rect::null();
    const auto& frames = m_frames[static_cast<std::size_t>(indexPath.section)];
    if (indexPath.item < 0 || indexPath.item >= static_cast<std::int64_t>(frames.size()))
        return Graphics::Rect::null();
    return frames[static_cast<std::size_t>(indexPath.item)];
}

std::vector<IndexPath> CollectionViewFlowLayout::indexPathsInRect(const Graphics::Rect& rect) const {
    std::vector<IndexPath> result;
    for (std::size_t s = 0; s < m_frames.size(); ++s)
        for (std::size_t i = 0; i < m_frames[s].size(); ++i)
            if (m_frames[s][i].intersects(rect))
                result.push_back({static_cast<std::int64_t>(s), static_cast<std::int64_t>(i)});
    return result;
}

// ---- Cells ----

CollectionViewCell::CollectionViewCell(const Graphics::Rect& frame)
    : View(frame), m_contentView(View::create({0, 0, frame.width(), frame.height()})) {
    m_contentView->setAutoresizingMask(AutoresizingMask::FlexibleWidth | AutoresizingMask::FlexibleHeight);
}

void CollectionViewCell::prepareForReuse() {
    setSelected(false);
    setHighlighted(false);
}

// ---- Collection view ----

std::shared_ptr<CollectionView> CollectionView::create(const Graphics::Rect& frame,
                                                       std::shared_ptr<CollectionViewFlowLayout> layout) {
    std::shared_ptr<CollectionView> view(
        new CollectionView(frame, layout ? std::move(layout) : CollectionViewFlowLayout::create()));
    view->installRecognizers();
    return view;
}

CollectionView::CollectionView(const Graphics::Rect& frame, std::shared_ptr<CollectionViewFlowLayout> layout)
    : ScrollView(frame), m_layout(std::move(layout)) {}

void CollectionView::setDataSource(const std::shared_ptr<CollectionViewDataSource>& dataSource) {
    m_dataSource = dataSource;
    reloadData();
}

void CollectionView::setCollectionViewDelegate(const std::shared_ptr<CollectionViewDelegate>& delegate) {
    m_delegate = delegate;
    setDelegate(delegate);
}

void CollectionView::registerCellFactory(
    const std::string& reuseIdentifier,
    std::function<std::shared_ptr<CollectionViewCell>(const Graphics::Rect&)> factory) {
    if (factory)
        m_factories[reuseIdentifier] = std::move(factory);
    else
        m_factories.erase(reuseIdentifier);
}

std::shared_ptr<CollectionViewCell> CollectionView::dequeueReusableCell(const std::string& reuseIdentifier,
                                                                        const IndexPath& indexPath) {
    auto& queue = m_reuseQueues[reuseIdentifier];
    if (!queue.empty()) {
        std::shared_ptr<CollectionViewCell> cell = queue.back();
        queue.pop_back();
        cell->prepareForReuse();
        return cell;
    }
    auto factory = m_factories.find(reuseIdentifier);
    if (factory == m_factories.end()) {
        Foundation::log("CollectionView: no cell registered for \"%s\"", reuseIdentifier.c_str());
        return nullptr;
    }
    Graphics::Rect frame = m_layout->frameForItem(indexPath);
    if (frame.isNull())
        frame = {0, 0, m_layout->itemSize.width, m_layout->itemSize.height};
    std::shared_ptr<CollectionViewCell> cell = factory->second(frame);
    if (cell)
        cell->m_reuseIdentifier = reuseIdentifier;
    return cell;
}

void CollectionView::reloadData() {
    m_needsReload = true;
    setNeedsLayout();
}

std::int64_t CollectionView::numberOfSections() {
    ensureLayout();
    return static_cast<std::int64_t>(m_itemCounts.size());
}

std::int64_t CollectionView::numberOfItemsInSection(std::int64_t section) {
    ensureLayout();
    if (section < 0 || section >= static_cast<std::int64_t>(m_itemCounts.size()))
        return 0;
    return m_itemCounts[static_cast<std::size_t>(section)];
}

void CollectionView::enqueue(const IndexPath& indexPath) {
    auto it = m_visibleCells.find(indexPath);
    if (it == m_visibleCells.end())
        return;
    std::shared_ptr<CollectionViewCell> cell = it->second;
    m_visibleCells.erase(it);
    cell->removeFromSuperview();
    if (!cell->reuseIdentifier().empty())
        m_reuseQueues[cell->reuseIdentifier()].push_back(cell);
}

void CollectionView::ensureLayout() {
    if (m_needsReload) {
        m_needsReload = false;
        m_itemCounts.clear();
        if (std::shared_ptr<CollectionViewDataSource> source = dataSource()) {
            const std::int64_t sections =
                std::max<std::int64_t>(0, source->numberOfSectionsInCollectionView(*this));
            for (std::int64_t s = 0; s < sections; ++s)
                m_itemCounts.push_back(std::max<std::int64_t>(0, source->numberOfItemsInSection(*this, s)));
        }
        // Every cell is filled again: all go back to the queues.
        std::vector<IndexPath> visible;
        for (const auto& [indexPath, cell] : m_visibleCells)
            visible.push_back(indexPath);
        for (const IndexPath& indexPath : visible)
            enqueue(indexPath);
        m_layoutValid = false;
        if (m_selected && (m_selected->section >= static_cast<std::int64_t>(m_itemCounts.size()) ||
                           m_selected->item >= m_itemCounts[static_cast<std::size_t>(m_selected->section)]))
            m_selected.reset();
    }
    if (!m_layoutValid) {
        m_layoutValid = true;
        m_layout->prepare(m_itemCounts, bounds().size);
        setContentSize(m_layout->contentSize());
        for (const auto& [indexPath, cell] : m_visibleCells)
            cell->setFrame(m_layout->frameForItem(indexPath));
    }
}

void CollectionView::updateVisibleCells() {
    if (m_updatingCells)
        return;
    m_updatingCells = true;
    const std::vector<IndexPath> wanted = m_layout->indexPathsInRect(bounds());
    std::vector<IndexPath> leaving;
    for (const auto& [indexPath, cell] : m_visibleCells)
        if (!std::binary_search(wanted.begin(), wanted.end(), indexPath))
            leaving.push_back(indexPath);
    for (const IndexPath& indexPath : leaving)
        enqueue(indexPath);
    std::shared_ptr<CollectionViewDataSource> source = dataSource();
    for (const IndexPath& indexPath : wanted) {
        if (!source || m_visibleCells.count(indexPath))
            continue;
        std::shared_ptr<CollectionViewCell> cell = source->cellForItemAtIndexPath(*this, indexPath);
        if (!cell)
            continue;
        cell->setFrame(m_layout->frameForItem(indexPath));
        cell->setSelected(m_selected == indexPath);
        insertSubview(cell, 0);
        m_visibleCells[indexPath] = cell;
    }
    m_updatingCells = false;
}

void CollectionView::layoutSubviews() {
    ScrollView::layoutSubviews();
    ensureLayout();
    updateVisibleCells();
}

void CollectionView::didChangeBoundsOrigin() {
    ScrollView::didChangeBoundsOrigin();
    if (m_layoutValid && !m_needsReload)
        updateVisibleCells();
}

void CollectionView::didChangeSize() {
    m_layoutValid = false;
}

std::shared_ptr<CollectionViewCell> CollectionView::cellForItemAtIndexPath(const IndexPath& indexPath) {
    auto it = m_visibleCells.find(indexPath);
    return it == m_visibleCells.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<CollectionViewCell>> CollectionView::visibleCells() {
    std::vector<std::shared_ptr<CollectionViewCell>> cells;
    for (const auto& [indexPath, cell] : m_visibleCells)
        cells.push_back(cell);
    return cells;
}

std::optional<IndexPath> CollectionView::indexPathForItemAtPoint(Graphics::Point point) {
    ensureLayout();
    const std::vector<IndexPath> hits = m_layout->indexPathsInRect({point.x, point.y, 1e-9, 1e-9});
    for (const IndexPath& indexPath : hits)
        if (m_layout->frameForItem(indexPath).containsPoint(point))
            return indexPath;
    return std::nullopt;
}

void CollectionView::selectItemAtIndexPath(const std::optional<IndexPath>& indexPath, Animated animated,
                                           CollectionViewScrollPosition position) {
    if (m_selected)
        if (std::shared_ptr<CollectionViewCell> cell = cellForItemAtIndexPath(*m_selected))
            cell->setSelected(false);
    m_selected = indexPath;
    if (!indexPath)
        return;
    if (std::shared_ptr<CollectionViewCell> cell = cellForItemAtIndexPath(*indexPath))
        cell->setSelected(true);
    if (position != CollectionViewScrollPosition::None)
        scrollToItemAtIndexPath(*indexPath, position, animated);
}

void CollectionView::deselectItemAtIndexPath(const IndexPath& indexPath, Animated) {
    if (m_selected != indexPath)
        return;
    if (std::shared_ptr<CollectionViewCell> cell = cellForItemAtIndexPath(indexPath))
        cell->setSelected(false);
    m_selected.reset();
}

std::vector<IndexPath> CollectionView::indexPathsForSelectedItems() const {
    return m_selected ? std::vector<IndexPath>{*m_selected} : std::vector<IndexPath>{};
}

void CollectionView::scrollToItemAtIndexPath(const IndexPath& indexPath,
                                             CollectionViewScrollPosition position, Animated animated) {
    ensureLayout();
    const Graphics::Rect f = m_layout->frameForItem(indexPath);
    if (f.isNull())
        return;
    const Graphics::Rect b = bounds();
    const unsigned p = static_cast<unsigned>(position);
    auto has = [p](CollectionViewScrollPosition flag) { return (p & static_cast<unsigned>(flag)) != 0; };
    // The least movement that shows [lo, hi] within a window [start, start + length).
    auto nearest = [](double lo, double hi, double start, double length) {
        if (lo < start)
            return lo;
        if (hi > start + length)
            return hi - length;
        return start;
    };
    Graphics::Point target = b.origin;
    if (has(CollectionViewScrollPosition::Left))
        target.x = f.minX();
    else if (has(CollectionViewScrollPosition::CenteredHorizontally))
        target.x = f.midX() - b.width() / 2;
    else if (has(CollectionViewScrollPosition::Right))
        target.x = f.maxX() - b.width();
    else
        target.x = nearest(f.minX(), f.maxX(), b.minX(), b.width());
    if (has(CollectionViewScrollPosition::Top))
        target.y = f.minY();
    else if (has(CollectionViewScrollPosition::CenteredVertically))
        target.y = f.midY() - b.height() / 2;
    else if (has(CollectionViewScrollPosition::Bottom))
        target.y = f.maxY() - b.height();
    else
        target.y = nearest(f.minY(), f.maxY(), b.minY(), b.height());
    const Graphics::Point lo = minimumContentOffset(), hi = maximumContentOffset();
    target = {std::clamp(target.x, lo.x, hi.x), std::clamp(target.y, lo.y, hi.y)};
    if (target != b.origin)
        setContentOffset(target, animated);
}

// ---- Selection by touch ----

void CollectionView::touchesBegan(const Touches& touches) {
    if (m_trackingTouch || touches.empty())
        return;
    m_trackingTouch = touches.front();
    m_pressed = indexPathForItemAtPoint(m_trackingTouch->locationInView(shared_from_this()));
    if (m_pressed)
        if (std::shared_ptr<CollectionViewCell> cell = cellForItemAtIndexPath(*m_pressed))
            cell->setHighlighted(true);
}

void CollectionView::touchesMoved(const Touches&) {}

void CollectionView::touchesEnded(const Touches& touches) {
    if (!m_trackingTouch || std::find(touches.begin(), touches.end(), m_trackingTouch) == touches.end())
        return;
    const std::optional<IndexPath> released =
        indexPathForItemAtPoint(m_trackingTouch->locationInView(shared_from_this()));
    const std::optional<IndexPath> pressed = m_pressed;
    m_trackingTouch.reset();
    m_pressed.reset();
    if (pressed)
        if (std::shared_ptr<CollectionViewCell> cell = cellForItemAtIndexPath(*pressed))
            cell->setHighlighted(false);
    if (!released || released != pressed)
        return;
    std::shared_ptr<CollectionViewDelegate> d = collectionViewDelegate();
    if (d && !d->shouldSelectItemAtIndexPath(*this, *released))
        return;
    const std::optional<IndexPath> previous = m_selected;
    selectItemAtIndexPath(released, Animated::No, CollectionViewScrollPosition::None);
    if (!d)
        return;
    if (previous && previous != released)
        d->didDeselectItemAtIndexPath(*this, *previous);
    d->didSelectItemAtIndexPath(*this, *released);
}

void CollectionView::touchesCancelled(const Touches& touches) {
    if (!m_trackingTouch || std::find(touches.begin(), touches.end(), m_trackingTouch) == touches.end())
        return;
    if (m_pressed)
        if (std::shared_ptr<CollectionViewCell> cell = cellForItemAtIndexPath(*m_pressed))
            cell->setHighlighted(false);
    m_trackingTouch.reset();
    m_pressed.reset();
}

} // namespace Toolkit
