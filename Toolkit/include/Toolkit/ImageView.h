#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Toolkit/View.h>

namespace Toolkit {

// With the platform's values.
enum class ContentMode { ScaleToFill = 0, ScaleAspectFit = 1, ScaleAspectFill = 2, Center = 4 };

// Shows one image in its bounds according to its content mode; like the platform's, it ignores
// touches until told otherwise. Main thread only.
class RUX_API ImageView : public View {
public:
    static std::shared_ptr<ImageView> create(const Graphics::Rect& frame = {}) {
        return std::shared_ptr<ImageView>(new ImageView(frame));
    }

    std::shared_ptr<const Graphics::BitmapImage> image() const { return m_image; }
    // Replaces the shown image (nullptr shows nothing) and marks the view for redraw.
    virtual void setImage(std::shared_ptr<const Graphics::BitmapImage> image);

    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode);

    // Where the image is drawn within the bounds for the current content mode (points); the null
    // rect without an image.
    Graphics::Rect imageRect() const;

    // The image's size in points (zero without one).
    Graphics::Size sizeThatFits(Graphics::Size size) const override;
    void draw(Graphics::BitmapContext& context) override;

protected:
    explicit ImageView(const Graphics::Rect& frame) : View(frame) { setUserInteractionEnabled(false); }
    // Draws the image stretched over rect (bounds coordinates), its colour scaled by darken.
    void drawImage(Graphics::BitmapContext& context, const Graphics::Rect& rect, double darken);

private:
    std::shared_ptr<const Graphics::BitmapImage> m_image;
    std::shared_ptr<const Graphics::Bitmap> m_upright;
    // The upright picture reduced to the size last drawn, when that is under half its size.
    std::shared_ptr<const Graphics::Bitmap> m_reduced;
    ContentMode m_contentMode = ContentMode::ScaleToFill;
};

} // namespace Toolkit
