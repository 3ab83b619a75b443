#pragma once

#include <Foundation/Export.h>
#include <Toolkit/Font.h>
#include <Toolkit/View.h>
#include <string>

namespace Toolkit {

// With the platform's values.
enum class TextAlignment { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };

// One line of text, vertically centred in the bounds and cut with an ellipsis at the end when it does
// not fit. Like the platform's, it ignores touches and has no background. Main thread only.
class RUX_API Label : public View {
public:
    static std::shared_ptr<Label> create(const Graphics::Rect& frame = {}) {
        return std::shared_ptr<Label>(new Label(frame));
    }

    const std::string& text() const { return m_text; }
    void setText(const std::string& text);
    // Never nullptr: setting nullptr restores the default, the system font at 17 points.
    std::shared_ptr<const Font> font() const { return m_font; }
    void setFont(std::shared_ptr<const Font> font);
    Color textColor() const { return m_textColor; }
    void setTextColor(Color color);
    // Justified and Natural lay out as Left.
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment);

    // The text's width and the font's line height, rounded up to whole points.
    Graphics::Size sizeThatFits(Graphics::Size size) const override;
    void draw(Graphics::BitmapContext& context) override;

protected:
    explicit Label(const Graphics::Rect& frame);

private:
    std::string m_text;
    std::shared_ptr<const Font> m_font;
    Color m_textColor = Color::black();
    TextAlignment m_alignment = TextAlignment::Natural;
};

} // namespace Toolkit
