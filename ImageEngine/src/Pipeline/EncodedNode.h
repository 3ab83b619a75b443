#pragma once

#include "Pipeline/Node.h"
#include "Pipeline/Simd.h"

#include <cstddef>
#include <cstdint>

namespace ImageEngine {

// Encoded bytes over a rect (sRGB, premultiplied RGBA, alpha last), kept in a thread's scratch
// floats: row y (y up, as in PixelSpan) is rect.w × 4 bytes.
class ByteTile {
public:
    ByteTile(ScratchPool& pool, const PixelRect& rect)
        : m_rect(rect), m_stride(static_cast<std::size_t>(rect.w) * 4),
          m_buffer(pool, (m_stride * static_cast<std::size_t>(rect.h) + 3) / 4) {}
    const PixelRect& rect() const { return m_rect; }
    std::uint8_t* row(int y) const {
        return reinterpret_cast<std::uint8_t*>(m_buffer.data()) +
               static_cast<std::size_t>(y - m_rect.y) * m_stride;
    }

private:
    PixelRect m_rect;
    std::size_t m_stride;
    ScratchPool::Buffer m_buffer;
};

// A node whose pixels are made as encoded bytes, as a render to a bitmap gives them. Rendered as a
// node they are decoded as a bitmap source decodes them; a consumer that works on bytes, and a
// render whose last step this is, take the bytes as they are.
class EncodedNode : public Node {
public:
    using Node::Node;
    // Fills tile, which lies inside bounds(), with this node's bytes.
    virtual void renderEncoded(const ByteTile& tile, RenderState& state) const = 0;

    void render(const PixelSpan& out, RenderState& state) const override {
        ByteTile tile(state.scratch(), out.rect);
        renderEncoded(tile, state);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y)
            Simd::decodeRgba8(tile.row(y), 1, static_cast<std::size_t>(out.rect.w), false, out.row(y));
    }
};

} // namespace ImageEngine
