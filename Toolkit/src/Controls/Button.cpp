#include <Toolkit/Button.h>
#include <cmath>

namespace Toolkit {

namespace {

constexpr double kTitlePointSize = 15;
// A pressed image without its own highlighted picture is drawn this much darker, a disabled one at
// this opacity.
constexpr double kHighlightDarkening = 0.7;
constexpr double kDisabledOpacity = 0.4;

class ButtonImageView : public ImageView {
public:
    static std::shared_ptr<ButtonImageView> create() {
        return std::shared_ptr<ButtonImageView>(new ButtonImageView());
    }
    void setDarken(double darken) {
        if (darken == m_darken)
            return;
        m_darken = darken;
        setNeedsDisplay();
    }
    void draw(Graphics::BitmapContext& context) override { drawImage(context, imageRect(), m_darken); }

private:
    ButtonImageView() : ImageView({}) { setContentMode(ContentMode::Center); }
    double m_darken = 1.0;
};

template <class Map>
auto lookup(const Map& map, ControlState state) -> const typename Map::mapped_type* {
    auto it = map.find(static_cast<unsigned>(state));
    if (it == map.end())
        it = map.find(static_cast<unsigned>(ControlState::Normal));
    return it == map.end() ? nullptr : &it->second;
}

} // namespace

std::shared_ptr<Button> Button::create(ButtonType type, const Graphics::Rect& frame) {
    std::shared_ptr<Button> button(new Button(type, frame));
    button->addSubview(button->m_imageView);
    button->addSubview(button->m_titleLabel);
    button->updateContent();
    return button;
}

Button::Button(ButtonType type, const Graphics::Rect& frame)
    : Control(frame), m_type(type), m_titleLabel(Label::create()), m_imageView(ButtonImageView::create()) {
    m_titleLabel->setFont(Font::systemFont(kTitlePointSize));
    m_titleLabel->setTextAlignment(TextAlignment::Center);
}

void Button::setTitle(const std::string& title, ControlState state) {
    m_titles[static_cast<unsigned>(state)] = title;
    updateContent();
}

std::string Button::title(ControlState state) const {
    const std::string* t = lookup(m_titles, state);
    return t ? *t : std::string();
}

void Button::setTitleColor(Color color, ControlState state) {
    m_titleColors[static_cast<unsigned>(state)] = color;
    updateContent();
}

Color Button::titleColor(ControlState state) const {
    const Color* c = lookup(m_titleColors, state);
    return c ? *c : Color::white();
}

void Button::setImage(std::shared_ptr<const Graphics::BitmapImage> image, ControlState state) {
    if (image)
        m_images[static_cast<unsigned>(state)] = std::move(image);
    else
        m_images.erase(static_cast<unsigned>(state));
    updateContent();
}

std::shared_ptr<const Graphics::BitmapImage> Button::image(ControlState state) const {
    const auto* i = lookup(m_images, state);
    return i ? *i : nullptr;
}

void Button::setAdjustsImageWhenHighlighted(bool adjusts) {
    m_adjustsWhenHighlighted = adjusts;
    updateContent();
}

void Button::setAdjustsImageWhenDisabled(bool adjusts) {
    m_adjustsWhenDisabled = adjusts;
    updateContent();
}

void Button::didChangeState() {
    updateContent();
}

void Button::updateContent() {
    const ControlState s = state();
    const std::string newTitle = title(s);
    const bool titleSizeChanges = newTitle != m_titleLabel->text();
    m_titleLabel->setText(newTitle);
    m_titleLabel->setTextColor(titleColor(s));
    std::shared_ptr<const Graphics::BitmapImage> newImage = image(s);
    const bool imageChanges = newImage != m_imageView->image();
    m_imageView->setImage(newImage);
    auto* imageView = static_cast<ButtonImageView*>(m_imageView.get());
    const bool ownHighlighted = m_images.count(static_cast<unsigned>(s)) != 0;
    imageView->setDarken(isHighlighted() && !ownHighlighted && m_adjustsWhenHighlighted ? kHighlightDarkening
                                                                                        : 1.0);
    imageView->setAlpha(!isEnabled() && !ownHighlighted && m_adjustsWhenDisabled ? kDisabledOpacity : 1.0);
    if (titleSizeChanges || imageChanges)
        setNeedsLayout();
}

Graphics::Size Button::sizeThatFits(Graphics::Size) const {
    const Graphics::Size image = m_imageView->image() ? m_imageView->image()->size() : Graphics::Size{};
    const Graphics::Size title = m_titleLabel->sizeThatFits({});
    return {image.width + title.width, std::max(image.height, title.height)};
}

void Button::layoutSubviews() {
    const Graphics::Rect b = bounds();
    const Graphics::Size image = m_imageView->image() ? m_imageView->image()->size() : Graphics::Size{};
    Graphics::Size title = m_titleLabel->sizeThatFits({});
    // The title gives way when both do not fit.
    title.width = std::max(0.0, std::min(title.width, b.width() - image.width));
    const double left = b.minX() + (b.width() - image.width - title.width) / 2;
    m_imageView->setFrame({left, b.minY() + (b.height() - image.height) / 2, image.width, image.height});
    m_titleLabel->setFrame(
        {left + image.width, b.minY() + (b.height() - title.height) / 2, title.width, title.height});
}

} // namespace Toolkit
