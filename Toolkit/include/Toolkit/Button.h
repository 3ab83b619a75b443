#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Toolkit/Control.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/Label.h>
#include <map>
#include <string>

namespace Toolkit {

// With the platform's values; only the custom type (no platform styling) is drawn differently from a
// plain view, and the system type behaves the same here.
enum class ButtonType { Custom = 0, System = 1 };

// A control showing an image and a title side by side, centred. Title, title colour and image are set
// per state; a state without its own value shows the normal state's. A highlighted button without a
// highlighted image shows its image darkened, a disabled one without a disabled image shows it faded.
// The title is the system font at 15 points, white by default. Main thread only.
class RUX_API Button : public Control {
public:
    static std::shared_ptr<Button> create(ButtonType type = ButtonType::Custom,
                                          const Graphics::Rect& frame = {});

    ButtonType buttonType() const { return m_type; }

    void setTitle(const std::string& title, ControlState state);
    std::string title(ControlState state) const;
    void setTitleColor(Color color, ControlState state);
    Color titleColor(ControlState state) const;
    void setImage(std::shared_ptr<const Graphics::BitmapImage> image, ControlState state);
    std::shared_ptr<const Graphics::BitmapImage> image(ControlState state) const;

    // What the current state shows.
    std::string currentTitle() const { return title(state()); }
    std::shared_ptr<const Graphics::BitmapImage> currentImage() const { return image(state()); }

    // The subviews that show the title and the image; the button lays them out.
    std::shared_ptr<Label> titleLabel() const { return m_titleLabel; }
    std::shared_ptr<ImageView> imageView() const { return m_imageView; }

    bool adjustsImageWhenHighlighted() const { return m_adjustsWhenHighlighted; }
    void setAdjustsImageWhenHighlighted(bool adjusts);
    bool adjustsImageWhenDisabled() const { return m_adjustsWhenDisabled; }
    void setAdjustsImageWhenDisabled(bool adjusts);

    // The image's size beside the title's, unconstrained by size.
    Graphics::Size sizeThatFits(Graphics::Size size) const override;
    void layoutSubviews() override;

protected:
    explicit Button(ButtonType type, const Graphics::Rect& frame);
    void didChangeState() override;

private:
    void updateContent();

    ButtonType m_type;
    std::map<unsigned, std::string> m_titles;
    std::map<unsigned, Color> m_titleColors;
    std::map<unsigned, std::shared_ptr<const Graphics::BitmapImage>> m_images;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<ImageView> m_imageView;
    bool m_adjustsWhenHighlighted = true;
    bool m_adjustsWhenDisabled = true;
};

} // namespace Toolkit
