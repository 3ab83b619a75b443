#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXFilterLookupTable.h>
#include <Utility/RUXImageUtility.h>
#include <cstring>
#include <new>

std::shared_ptr<RUXFilterLookupTable> RUXFilterLookupTable::lookupTableNamed(const std::string& name) {
    auto image = RUXGetImage(name);
    if (!image) {
        return nullptr;
    }
    auto table = std::make_shared<RUXFilterLookupTable>();
    table->setData(RUXLookupTableDataFromImage(image));
    return table;
}

ImageEngine::ImagePtr RUXFilterLookupTable::resultFromImage(const ImageEngine::ImagePtr& image) const {
    if (!image || !m_data || m_data->size() != kRUXLookupTableByteCount) {
        return image;
    }
    return RUXFilterOutput(RUXFilterName::colorCubeWithColorSpace,
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::cubeDimension, double(kRUXLookupTableDimension)},
                            {RUXFilterKey::cubeData, m_data},
                            {RUXFilterKey::colorSpace, Graphics::ColorSpace::DeviceRGB}});
}

std::vector<float> RUXCreateRGBABitmapFromImage(const std::shared_ptr<const Graphics::BitmapImage>& image) {
    std::vector<float> result;
    if (!image || !image->bitmap()) {
        return result;
    }
    const Graphics::Bitmap& bitmap = *image->bitmap();
    const int w = bitmap.width(), h = bitmap.height();
    try {
        result.resize(std::size_t(w) * h * 4);
    } catch (const std::bad_alloc&) {
        return {};
    }
    float* out = result.data();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = bitmap.row(y);
        if (bitmap.format() == Graphics::PixelFormat::Gray8) {
            for (int x = 0; x < w; ++x, out += 4) {
                out[0] = out[1] = out[2] = row[x];
                out[3] = 255;
            }
        } else {
            // An opaque bitmap's fourth byte is ignored, so draw it as opaque.
            const bool opaque = bitmap.alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
            for (int x = 0; x < w; ++x, out += 4) {
                out[0] = row[4 * x];
                out[1] = row[4 * x + 1];
                out[2] = row[4 * x + 2];
                out[3] = opaque ? 255 : row[4 * x + 3];
            }
        }
    }
    return result;
}

ImageEngine::Data RUXLookupTableDataFromImage(const std::shared_ptr<const Graphics::BitmapImage>& image) {
    if (!image || !image->bitmap()) {
        return nullptr;
    }
    constexpr int n = kRUXLookupTableDimension;
    const int w = image->bitmap()->width(), h = image->bitmap()->height();
    const int tilesPerRow = w / n, tileRows = h / n;
    // The cube has exactly 33 slices; a grid of any other count would leave slices unset or
    // write past the end.
    if (w % n != 0 || h % n != 0 || tilesPerRow * tileRows != n) {
        Foundation::log("Lookup table image of %d x %d pixels is not a grid of 33 tiles of 33 x 33", w, h);
        return nullptr;
    }
    std::vector<float> pixels = RUXCreateRGBABitmapFromImage(image);
    if (pixels.empty()) {
        return nullptr;
    }
    std::vector<float> cube(kRUXLookupTableEntryCount * 4);
    // Read the source in plain row order, one tile's row segment (33 pixels, 132 floats) at a time.
    constexpr int segment = n * 4;
    const float* source = pixels.data();
    for (int tileRow = 0; tileRow < tileRows; ++tileRow) {
        for (int g = 0; g < n; ++g) {
            for (int column = 0; column < tilesPerRow; ++column, source += segment) {
                const int tile = tileRow * tilesPerRow + column;
                float* target = cube.data() + std::size_t(tile) * n * n * 4 + std::size_t(g) * segment;
                for (int i = 0; i < segment; ++i) {
                    target[i] = source[i] / 255.0f;
                }
            }
        }
    }
    auto data = std::make_shared<std::vector<std::uint8_t>>(kRUXLookupTableByteCount);
    std::memcpy(data->data(), cube.data(), kRUXLookupTableByteCount);
    return data;
}
