#pragma once

#include <Graphics/BitmapImage.h>
#include <Toolkit/View.h>

namespace Toolkit {

enum class ContentMode { ScaleToFill, ScaleAspectFit, ScaleAspectFill, Center };

// Shows one image in its bounds according to its content mode. Main thread only.
class ImageView : public View {
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

protected:
    explicit ImageView(const Graphics::Rect& frame) : View(frame) {}

private:
    std::shared_ptr<const Graphics::BitmapImage> m_image;
    ContentMode m_contentMode = ContentMode::ScaleToFill;
};

} // namespace Toolkit
