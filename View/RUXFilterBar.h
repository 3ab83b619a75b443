#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Toolkit/CollectionView.h>
#include <Toolkit/View.h>
#include <Transformation/RUXImageTransformation.h>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

class RUXFilterBar;
class RUXFilterBarCell;

// Told which look the user picked in the strip. Main thread.
class RUX_API RUXFilterBarDelegate {
public:
    virtual ~RUXFilterBarDelegate() = default;
    // filter is one of the bar's own objects.
    virtual void filterBarDidSelectFilter(RUXFilterBar& bar, const RUXTransformationPtr& filter) = 0;
};

// Renders the strip's thumbnails. Called on pool threads, several at a time, so it must be safe
// for that; nullptr for no picture.
class RUX_API RUXPreviewImageRenderer {
public:
    virtual ~RUXPreviewImageRenderer() = default;
    virtual std::shared_ptr<const Graphics::BitmapImage>
    thumbnailPreviewImageForTransformation(const RUXTransformationPtr& transformation) = 0;
};

// The strip of look thumbnails above the toolbar: one object of each offered look, "Original"
// first, each shown as a small live preview with its name. The highlighted entry has a white
// border; tapping another entry highlights it and reports it. Thumbnails are rendered on the
// global queue and handed to their cells on the main thread, and a thumbnail whose cell has
// meanwhile been given to another entry is dropped. The bar keeps no pictures itself. Main thread
// only.
class RUX_API RUXFilterBar : public Toolkit::View {
public:
    static constexpr std::int64_t kNotFound = std::numeric_limits<std::int64_t>::max();

    // Never nullptr; the caller owns it. The configuration is asked once, here, which looks to
    // offer; a nullptr configuration offers none.
    static std::shared_ptr<RUXFilterBar>
    create(const Graphics::Rect& frame, std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration);
    ~RUXFilterBar() override;

    std::shared_ptr<RUXPreviewImageRenderer> previewImageRenderer() const {
        return m_previewImageRenderer.lock();
    }
    // Held weakly.
    void setPreviewImageRenderer(const std::shared_ptr<RUXPreviewImageRenderer>& renderer) {
        m_previewImageRenderer = renderer;
    }
    std::shared_ptr<RUXFilterBarDelegate> delegate() const { return m_delegate.lock(); }
    // Held weakly.
    void setDelegate(const std::shared_ptr<RUXFilterBarDelegate>& delegate) { m_delegate = delegate; }
    const std::shared_ptr<RUXImageEditorConfigurationProtocol>& configuration() const {
        return m_configuration;
    }

    // The offered looks in display order; fixed after construction.
    const std::vector<RUXTransformationPtr>& filters() const { return m_filters; }
    const std::shared_ptr<Toolkit::CollectionView>& collectionView() const { return m_collectionView; }
    // Index into filters() of the highlighted entry, or kNotFound.
    std::int64_t selectedFilterIndex() const { return m_selectedFilterIndex; }

    // Highlights the bar's own object filter (found by identity) and scrolls to it; a filter that
    // is nullptr or not one of the bar's objects highlights nothing. The cells follow at the next
    // reloadData.
    void setEnabledFilter(const RUXTransformationPtr& filter);
    // Fills every visible cell again, each with a new thumbnail request.
    void reloadData();

    void layoutSubviews() override;

private:
    class DataSource;
    RUXFilterBar(const Graphics::Rect& frame,
                 std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration);
    std::vector<RUXTransformationPtr> enabledFilters() const;
    void setupCollectionView();
    std::shared_ptr<Toolkit::CollectionViewCell> cellForItem(Toolkit::CollectionView& view,
                                                             const Toolkit::IndexPath& indexPath);
    // Renders the look's thumbnail on the global queue and hands it to the cell on the main thread.
    void requestThumbnail(const std::shared_ptr<RUXFilterBarCell>& cell, const RUXTransformationPtr& filter);
    // A tap on an entry (or the bar's own first selection).
    void didSelectItem(std::int64_t item);

    std::weak_ptr<RUXPreviewImageRenderer> m_previewImageRenderer;
    std::weak_ptr<RUXFilterBarDelegate> m_delegate;
    std::shared_ptr<RUXImageEditorConfigurationProtocol> m_configuration;
    std::vector<RUXTransformationPtr> m_filters;
    std::shared_ptr<Toolkit::CollectionView> m_collectionView;
    std::shared_ptr<DataSource> m_dataSource;
    std::int64_t m_selectedFilterIndex = 0;
};
