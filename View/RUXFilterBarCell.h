#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Toolkit/CollectionView.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/Label.h>
#include <Transformation/RUXImageTransformation.h>
#include <memory>
#include <string>

// One entry of the filter strip: a rounded thumbnail with the look's name beneath, and a white
// border while it is the highlighted entry. It remembers which look it currently shows, so that a
// thumbnail rendered for the look it showed before being reused can be told apart. Main thread
// only.
class RUX_API RUXFilterBarCell : public Toolkit::CollectionViewCell {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXFilterBarCell> create(const Graphics::Rect& frame);

    const std::shared_ptr<Toolkit::ImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<Toolkit::Label>& label() const { return m_label; }

    std::shared_ptr<const Graphics::BitmapImage> image() const { return m_imageView->image(); }
    void setImage(std::shared_ptr<const Graphics::BitmapImage> image) {
        m_imageView->setImage(std::move(image));
    }
    const std::string& text() const { return m_label->text(); }
    void setText(const std::string& text) { m_label->setText(text); }

    // The look whose thumbnail belongs in the cell now; nullptr after reuse until it is filled.
    const RUXTransformationPtr& representedFilter() const { return m_representedFilter; }
    void setRepresentedFilter(RUXTransformationPtr filter) { m_representedFilter = std::move(filter); }

    void highlight();
    void removeHighlight();
    bool isHighlightShown() const;

    // Clears the picture, the name, the look and the highlight.
    void prepareForReuse() override;

protected:
    explicit RUXFilterBarCell(const Graphics::Rect& frame);

private:
    void setupSubviews();

    std::shared_ptr<Toolkit::ImageView> m_imageView;
    std::shared_ptr<Toolkit::Label> m_label;
    RUXTransformationPtr m_representedFilter;
};
