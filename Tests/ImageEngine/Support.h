#pragma once

#include <Graphics/Bitmap.h>
#include <ImageEngine/Context.h>
#include <ImageEngine/Filter.h>
#include <ImageEngine/Image.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace EngineTest {

inline double encode(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}
inline double decode(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

// An opaque bitmap whose pixel (x, y) (memory row y) gets a colour that differs everywhere.
inline std::shared_ptr<Graphics::Bitmap> patternBitmap(int w, int h) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = static_cast<std::uint8_t>((x * 37 + y * 11) % 256);
            p[1] = static_cast<std::uint8_t>((x * 5 + y * 53 + 17) % 256);
            p[2] = static_cast<std::uint8_t>((x * 91 + y * 3 + 101) % 256);
            p[3] = 255;
        }
    return bitmap;
}

inline std::shared_ptr<Graphics::Bitmap> solidBitmap(int w, int h, std::uint8_t r, std::uint8_t g,
                                                     std::uint8_t b, std::uint8_t a = 255) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = r, p[1] = g, p[2] = b, p[3] = a;
        }
    return bitmap;
}

inline ImageEngine::ImagePtr imageOf(std::shared_ptr<Graphics::Bitmap> bitmap) {
    return ImageEngine::Image::createWithBitmap(std::move(bitmap));
}

inline std::shared_ptr<Graphics::Bitmap> render(const ImageEngine::ImagePtr& image,
                                                const Graphics::Rect& rect,
                                                ImageEngine::Context::RenderOptions options = {}) {
    return ImageEngine::Context::create(options)->createCGImage(image, rect);
}

inline std::vector<std::uint8_t> bytesOf(const Graphics::Bitmap& bitmap) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < bitmap.height(); ++y)
        bytes.insert(bytes.end(), bitmap.row(y), bitmap.row(y) + bitmap.width() * 4);
    return bytes;
}

inline const std::uint8_t* pixel(const Graphics::Bitmap& bitmap, int x, int row) {
    return bitmap.row(row) + x * 4;
}

// A colour table's channel at a position in its space (clamped to [0, 1]), interpolated trilinearly
// in double precision: the table is dimension³ RGBA entries, red fastest, then green, then blue.
inline double trilinear(const std::vector<float>& table, int dimension, const std::array<double, 3>& position,
                        int channel) {
    int base[3];
    double f[3];
    for (int c = 0; c < 3; ++c) {
        double at = std::clamp(position[c], 0.0, 1.0) * (dimension - 1);
        base[c] = std::min(static_cast<int>(at), dimension - 2);
        f[c] = at - base[c];
    }
    double result = 0;
    for (int corner = 0; corner < 8; ++corner) {
        int r = base[0] + (corner & 1), g = base[1] + (corner >> 1 & 1), b = base[2] + (corner >> 2 & 1);
        double weight = ((corner & 1) ? f[0] : 1 - f[0]) * ((corner >> 1 & 1) ? f[1] : 1 - f[1]) *
                        ((corner >> 2 & 1) ? f[2] : 1 - f[2]);
        result +=
            weight * table[((static_cast<std::size_t>(b) * dimension + g) * dimension + r) * 4 + channel];
    }
    return result;
}

inline ImageEngine::ImagePtr
apply(const char* name, std::initializer_list<std::pair<const char*, ImageEngine::FilterValue>> inputs) {
    auto filter = ImageEngine::Filter::create(name);
    for (const auto& [key, value] : inputs)
        filter->setValue(key, value);
    return filter->outputImage();
}

} // namespace EngineTest
