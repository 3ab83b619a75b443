#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Filter.h>
#include <memory>
#include <string>
#include <vector>

// The cube a look applies: 33 × 33 × 33 entries of four floats (red, green, blue, alpha in 0 … 1),
// red varying fastest, then green, then blue.
inline constexpr int kRUXLookupTableDimension = 33;
inline constexpr std::size_t kRUXLookupTableEntryCount = 33 * 33 * 33;
inline constexpr std::size_t kRUXLookupTableByteCount = kRUXLookupTableEntryCount * 4 * sizeof(float);

// A colour cube loaded from a table image. Immutable once made; shared between threads.
class RUX_API RUXFilterLookupTable {
public:
    // The table made from the resource bundle's image of that name; nullptr when the image is
    // missing or unreadable. A table whose image is outside the format has empty data. Any thread;
    // the caller owns the result.
    static std::shared_ptr<RUXFilterLookupTable> lookupTableNamed(const std::string& name);

    // "CIColorCubeWithColorSpace" over image with this cube; nullptr for a nullptr image. With
    // empty data the image is passed through unchanged, since the engine cannot apply nothing.
    // Any thread.
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image) const;

    const ImageEngine::Data& data() const { return m_data; }
    void setData(ImageEngine::Data data) { m_data = std::move(data); }

private:
    ImageEngine::Data m_data;
};

// The cube data of a table image: a grid of 33 square tiles of 33 × 33 pixels, numbered left to
// right, top row first; the tile number is blue, the column red and the row (from the top) green.
// Any grid shape works (one row, one column, or in between). nullptr, with one log line, for a
// null image or one whose pixel size is not a grid of exactly 33 such tiles. Any thread; the
// caller owns the result (kRUXLookupTableByteCount bytes).
RUX_API ImageEngine::Data
RUXLookupTableDataFromImage(const std::shared_ptr<const Graphics::BitmapImage>& image);

// The image's bitmap drawn into premultiplied RGBA, every byte as a float 0 … 255, top row first
// (pixel width × height × 4 floats). Empty for a null image or when memory runs out. Any thread.
RUX_API std::vector<float>
RUXCreateRGBABitmapFromImage(const std::shared_ptr<const Graphics::BitmapImage>& image);
