#include "Text/TextEngine.h"

#include <Toolkit/Label.h>
#include <cmath>
#include <numeric>

namespace Toolkit {

Label::Label(const Graphics::Rect& frame) : View(frame), m_font(Font::systemFont(17)) {
    setUserInteractionEnabled(false);
}

void Label::setText(const std::string& text) {
    if (text == m_text)
        return;
    m_text = text;
    setNeedsDisplay();
}

void Label::setFont(std::shared_ptr<const Font> font) {
    if (!font)
        font = Font::systemFont(17);
    if (m_font && font->pointSize() == m_font->pointSize() && font->isBold() == m_font->isBold())
        return;
    m_font = std::move(font);
    setNeedsDisplay();
}

void Label::setTextColor(Color color) {
    if (color == m_textColor)
        return;
    m_textColor = color;
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment) {
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    setNeedsDisplay();
}

Graphics::Size Label::sizeThatFits(Graphics::Size) const {
    if (m_text.empty())
        return {0, 0};
    return {std::ceil(m_font->widthOfText(m_text) - 1e-9), std::ceil(m_font->lineHeight() - 1e-9)};
}

void Label::draw(Graphics::BitmapContext& context) {
    if (m_text.empty())
        return;
    std::u32string text = Text::decodeUtf8(m_text);
    std::vector<double> advances = Text::advances(text, m_font->isBold(), m_font->pointSize());
    double width = std::accumulate(advances.begin(), advances.end(), 0.0);
    const Graphics::Rect b = bounds();
    if (width > b.width() + 1e-6) {
        // Cut at the end with an ellipsis, keeping as many characters as fit.
        const double ellipsis = Text::advances(U"\u2026", m_font->isBold(), m_font->pointSize())[0];
        while (!text.empty() && width + ellipsis > b.width()) {
            width -= advances.back();
            advances.pop_back();
            text.pop_back();
        }
        text.push_back(U'\u2026');
        width += ellipsis;
    }
    double x = b.minX();
    if (m_alignment == TextAlignment::Center)
        x += (b.width() - width) / 2;
    else if (m_alignment == TextAlignment::Right)
        x += b.width() - width;
    const double baseline = b.minY() + (b.height() - m_font->lineHeight()) / 2 + m_font->ascender();
    Text::drawText(context, text, *m_font, {x, baseline}, m_textColor);
}

} // namespace Toolkit
