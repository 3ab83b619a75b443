#include "Filters/Nodes.h"
#include "Pipeline/Srgb.h"

namespace ImageEngine {

namespace {

// A bitmap decoded on read: sRGB bytes to linear premultiplied floats, one table look-up per channel.
class SourceNode final : public Node {
public:
    explicit SourceNode(std::shared_ptr<const Graphics::Bitmap> bitmap)
        : Node(Graphics::Rect(0, 0, bitmap->width(), bitmap->height())), m_bitmap(std::move(bitmap)) {}

    void render(const PixelSpan& out, RenderState&) const override {
        const SrgbTables& tables = SrgbTables::get();
        const int height = m_bitmap->height();
        const bool gray = m_bitmap->format() == Graphics::PixelFormat::Gray8;
        const bool opaque = m_bitmap->alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            // Memory row 0 is the top of the picture.
            const std::uint8_t* source = m_bitmap->row(height - 1 - y);
            float* pixel = out.row(y);
            if (gray) {
                for (int x = out.rect.x; x < out.rect.maxX(); ++x, pixel += 4) {
                    float v = tables.decode8[source[x]];
                    pixel[0] = pixel[1] = pixel[2] = v;
                    pixel[3] = 1.0f;
                }
                continue;
            }
            source += static_cast<std::size_t>(out.rect.x) * 4;
            for (int x = out.rect.x; x < out.rect.maxX(); ++x, pixel += 4, source += 4) {
                const float* curve = tables.premultiplied[opaque ? 255 : source[3]];
                pixel[0] = curve[source[0]];
                pixel[1] = curve[source[1]];
                pixel[2] = curve[source[2]];
                pixel[3] = opaque ? 1.0f : source[3] * (1.0f / 255.0f);
            }
        }
    }

private:
    std::shared_ptr<const Graphics::Bitmap> m_bitmap;
};

} // namespace

NodePtr makeSourceNode(std::shared_ptr<const Graphics::Bitmap> bitmap) {
    if (!bitmap)
        return nullptr;
    return std::make_shared<SourceNode>(std::move(bitmap));
}

} // namespace ImageEngine
