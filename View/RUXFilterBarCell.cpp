#include <Toolkit/Font.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXFilterBarCell.h>

namespace {

constexpr std::int32_t kCellColor = 0x191919;
constexpr double kHighlightBorderWidth = 2;

} // namespace

std::shared_ptr<RUXFilterBarCell> RUXFilterBarCell::create(const Graphics::Rect& frame) {
    std::shared_ptr<RUXFilterBarCell> cell(new RUXFilterBarCell(frame));
    cell->addSubview(cell->contentView());
    cell->setupSubviews();
    return cell;
}

RUXFilterBarCell::RUXFilterBarCell(const Graphics::Rect& frame) : Toolkit::CollectionViewCell(frame) {}

void RUXFilterBarCell::setupSubviews() {
    contentView()->setBackgroundColor(RUXColorWithHexCode(kCellColor));

    m_imageView = Toolkit::ImageView::create({5, 12, 44, 44});
    m_imageView->setContentMode(Toolkit::ContentMode::ScaleAspectFill);
    m_imageView->setCornerRadius(4);
    m_imageView->setClipsToBounds(true);
    m_imageView->setBorderColor(Toolkit::Color::white());
    m_imageView->setBorderWidth(0);
    m_imageView->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
    contentView()->addSubview(m_imageView);

    m_label = Toolkit::Label::create({0, 62, 54, 12});
    m_label->setTextColor(Toolkit::Color::white());
    m_label->setFont(Toolkit::Font::systemFont(10));
    m_label->setTextAlignment(Toolkit::TextAlignment::Center);
    m_label->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
    contentView()->addSubview(m_label);
}

void RUXFilterBarCell::highlight() {
    m_imageView->setBorderWidth(kHighlightBorderWidth);
}

void RUXFilterBarCell::removeHighlight() {
    m_imageView->setBorderWidth(0);
}

bool RUXFilterBarCell::isHighlightShown() const {
    return m_imageView->borderWidth() > 0;
}

void RUXFilterBarCell::prepareForReuse() {
    Toolkit::CollectionViewCell::prepareForReuse();
    m_imageView->setImage(nullptr);
    m_label->setText("");
    m_representedFilter.reset();
    removeHighlight();
}
