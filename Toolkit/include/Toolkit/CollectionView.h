#pragma once

#include <Foundation/Export.h>
#include <Toolkit/ScrollView.h>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Toolkit {

class CollectionView;

struct RUX_API IndexPath {
    std::int64_t section = 0;
    std::int64_t item = 0;
    friend constexpr auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

// With the platform's values.
enum class ScrollDirection { Vertical = 0, Horizontal = 1 };
enum class CollectionViewScrollPosition : unsigned {
    None = 0,
    Top = 1u << 0,
    CenteredVertically = 1u << 1,
    Bottom = 1u << 2,
    Left = 1u << 3,
    CenteredHorizontally = 1u << 4,
    Right = 1u << 5,
};

// Places items of one size in lines across the scroll direction, line after line along it: each
// section is a header, the section inset around its lines, and a footer; lines are
// minimumLineSpacing apart, items within a line minimumInteritemSpacing (both 10 by default).
class RUX_API CollectionViewFlowLayout {
public:
    static std::shared_ptr<CollectionViewFlowLayout> create() {
        return std::make_shared<CollectionViewFlowLayout>();
    }

    ScrollDirection scrollDirection = ScrollDirection::Vertical;
    Graphics::Size itemSize{50, 50};
    double minimumLineSpacing = 10;
    double minimumInteritemSpacing = 10;
    // Only the extent along the scroll direction counts (the width when scrolling horizontally).
    Graphics::Size headerReferenceSize;
    Graphics::Size footerReferenceSize;
    EdgeInsets sectionInset;

    // Works out every item's frame for sections of these item counts in a view of that size.
    void prepare(const std::vector<std::int64_t>& itemCounts, Graphics::Size viewSize);
    Graphics::Size contentSize() const { return m_contentSize; }
    // The null rect for an index path that is not laid out.
    Graphics::Rect frameForItem(const IndexPath& indexPath) const;
    // Index paths of the items meeting rect, in order.
    std::vector<IndexPath> indexPathsInRect(const Graphics::Rect& rect) const;

private:
    std::vector<std::vector<Graphics::Rect>> m_frames;
    Graphics::Size m_contentSize;
};

// A reusable item view. Its content view fills it; subclasses put their subviews there.
class RUX_API CollectionViewCell : public View {
public:
    static std::shared_ptr<CollectionViewCell> create(const Graphics::Rect& frame) {
        std::shared_ptr<CollectionViewCell> cell(new CollectionViewCell(frame));
        cell->addSubview(cell->contentView());
        return cell;
    }

    std::shared_ptr<View> contentView() const { return m_contentView; }
    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected) { m_selected = selected; }
    bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted) { m_highlighted = highlighted; }
    // Called when the cell is taken from the reuse queue, before the data source fills it again.
    virtual void prepareForReuse();

protected:
    explicit CollectionViewCell(const Graphics::Rect& frame);

private:
    friend class CollectionView;
    std::shared_ptr<View> m_contentView;
    std::string m_reuseIdentifier;
    bool m_selected = false;
    bool m_highlighted = false;
};

class RUX_API CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual std::int64_t numberOfSectionsInCollectionView(CollectionView&) { return 1; }
    virtual std::int64_t numberOfItemsInSection(CollectionView& view, std::int64_t section) = 0;
    // Usually a cell from dequeueReusableCell; nullptr leaves the item empty.
    virtual std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(CollectionView& view,
                                                                       const IndexPath& indexPath) = 0;
};

// Also the collection view's scroll view delegate.
class RUX_API CollectionViewDelegate : public ScrollViewDelegate {
public:
    virtual bool shouldSelectItemAtIndexPath(CollectionView&, const IndexPath&) { return true; }
    // After a tap selected the item (not after selectItemAtIndexPath).
    virtual void didSelectItemAtIndexPath(CollectionView&, const IndexPath&) {}
    virtual void didDeselectItemAtIndexPath(CollectionView&, const IndexPath&) {}
};

// A scroll view of items placed by a flow layout, shown through reusable cells: only items on screen
// have cells, and a cell that scrolls away is queued for the next item that needs one. Cells are
// asked for at the next layout after reloadData, or as items scroll into view. A tap selects an
// item (one at a time) and tells the delegate. Main thread only.
class RUX_API CollectionView : public ScrollView {
public:
    static std::shared_ptr<CollectionView> create(const Graphics::Rect& frame,
                                                  std::shared_ptr<CollectionViewFlowLayout> layout);

    std::shared_ptr<CollectionViewFlowLayout> collectionViewLayout() const { return m_layout; }

    std::shared_ptr<CollectionViewDataSource> dataSource() const { return m_dataSource.lock(); }
    // Held weakly.
    void setDataSource(const std::shared_ptr<CollectionViewDataSource>& dataSource);
    std::shared_ptr<CollectionViewDelegate> collectionViewDelegate() const { return m_delegate.lock(); }
    // Held weakly; also becomes the scroll view delegate.
    void setCollectionViewDelegate(const std::shared_ptr<CollectionViewDelegate>& delegate);

    // Cells for an identifier are made by factory (frame in, cell out).
    void
    registerCellFactory(const std::string& reuseIdentifier,
                        std::function<std::shared_ptr<CollectionViewCell>(const Graphics::Rect&)> factory);
    // T::create(const Graphics::Rect&) makes the cells.
    template <class T>
    void registerClass(const std::string& reuseIdentifier) {
        registerCellFactory(reuseIdentifier, [](const Graphics::Rect& frame) { return T::create(frame); });
    }
    // A queued cell of that identifier (after its prepareForReuse) or a new one; nullptr with one log
    // line for an identifier never registered.
    std::shared_ptr<CollectionViewCell> dequeueReusableCell(const std::string& reuseIdentifier,
                                                            const IndexPath& indexPath);

    // Forgets the cells and asks the data source again at the next layout.
    void reloadData();
    std::int64_t numberOfSections();
    std::int64_t numberOfItemsInSection(std::int64_t section);

    // The cell showing the item; nullptr when the item is off screen (or does not exist).
    std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(const IndexPath& indexPath);
    std::vector<std::shared_ptr<CollectionViewCell>> visibleCells();
    // The item at a point of the content (the view's bounds coordinates); empty when none.
    std::optional<IndexPath> indexPathForItemAtPoint(Graphics::Point point);

    // Makes the item the selected one without telling the delegate, then scrolls as asked.
    void selectItemAtIndexPath(const std::optional<IndexPath>& indexPath, Animated animated,
                               CollectionViewScrollPosition position);
    void deselectItemAtIndexPath(const IndexPath& indexPath, Animated animated);
    std::vector<IndexPath> indexPathsForSelectedItems() const;
    // None scrolls the least that shows the whole item; the others align it as named.
    void scrollToItemAtIndexPath(const IndexPath& indexPath, CollectionViewScrollPosition position,
                                 Animated animated);

    void layoutSubviews() override;
    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;

protected:
    CollectionView(const Graphics::Rect& frame, std::shared_ptr<CollectionViewFlowLayout> layout);
    void didChangeBoundsOrigin() override;
    void didChangeSize() override;

private:
    void ensureLayout();
    void updateVisibleCells();
    void enqueue(const IndexPath& indexPath);

    std::shared_ptr<CollectionViewFlowLayout> m_layout;
    std::weak_ptr<CollectionViewDataSource> m_dataSource;
    std::weak_ptr<CollectionViewDelegate> m_delegate;
    std::map<std::string, std::function<std::shared_ptr<CollectionViewCell>(const Graphics::Rect&)>>
        m_factories;
    std::map<std::string, std::vector<std::shared_ptr<CollectionViewCell>>> m_reuseQueues;
    std::map<IndexPath, std::shared_ptr<CollectionViewCell>> m_visibleCells;
    std::vector<std::int64_t> m_itemCounts;
    std::optional<IndexPath> m_selected;
    std::optional<IndexPath> m_pressed;
    std::shared_ptr<Touch> m_trackingTouch;
    bool m_needsReload = true;
    bool m_layoutValid = false;
    bool m_updatingCells = false;
};

} // namespace Toolkit
