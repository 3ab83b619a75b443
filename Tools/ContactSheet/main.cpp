// Lays rendered pictures out on one labelled sheet, so the looks can be judged side by side.
//   rux-contact-sheet OUTPUT.png FONT.ttf COLUMNS TILE_WIDTH LABEL=PICTURE.png ...
#include "PngFile.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using ResourceArt::Raster;

constexpr int kGap = 12;
constexpr int kLabelHeight = 40;
constexpr int kFontPixels = 20;
constexpr std::uint8_t kBackground = 0x00;
constexpr std::uint8_t kLabelBand = 0x19;

// Area-averaged downscale (or plain bilinear when enlarging), in linear light so edges keep their weight.
Raster resized(const Raster& source, int width) {
    const int height =
        std::max(1, static_cast<int>(std::lround(double(source.height) * width / source.width)));
    Raster out(width, height);
    const double step = double(source.width) / width;
    const int reach = std::max(1, static_cast<int>(std::ceil(step)));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            int count = 0;
            const int x0 = static_cast<int>(x * step), y0 = static_cast<int>(y * step);
            for (int sy = y0; sy < std::min(source.height, y0 + reach); ++sy)
                for (int sx = x0; sx < std::min(source.width, x0 + reach); ++sx, ++count)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += ResourceArt::linearFromSrgb(source.pixel(sx, sy)[c] / 255.0);
            std::uint8_t* p = out.pixel(x, y);
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(
                    std::lround(ResourceArt::srgbFromLinear(sum[c] / count) * 255.0));
            p[3] = 255;
        }
    }
    return out;
}

void fill(Raster& image, int x0, int y0, int w, int h, std::uint8_t grey) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            std::uint8_t* p = image.pixel(x, y);
            p[0] = p[1] = p[2] = grey;
            p[3] = 255;
        }
}

// Draws white text centred on (centreX, baseline); returns false when a glyph cannot be loaded.
bool drawText(Raster& image, FT_Face face, const std::string& text, int centreX, int baseline) {
    int advance = 0;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT))
            return false;
        advance += static_cast<int>(face->glyph->advance.x >> 6);
    }
    int penX = centreX - advance / 2;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER))
            return false;
        const FT_GlyphSlot g = face->glyph;
        for (unsigned row = 0; row < g->bitmap.rows; ++row) {
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                const int x = penX + g->bitmap_left + static_cast<int>(col);
                const int y = baseline - g->bitmap_top + static_cast<int>(row);
                if (x < 0 || y < 0 || x >= image.width || y >= image.height)
                    continue;
                const double a = g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0;
                std::uint8_t* p = image.pixel(x, y);
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<std::uint8_t>(std::lround(255.0 * a + p[c] * (1.0 - a)));
            }
        }
        penX += static_cast<int>(g->advance.x >> 6);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s OUTPUT.png FONT.ttf COLUMNS TILE_WIDTH LABEL=PICTURE.png ...\n",
                     argv[0]);
        return 2;
    }
    const std::string output = argv[1];
    const int columns = std::atoi(argv[3]);
    const int tileWidth = std::atoi(argv[4]);
    if (columns <= 0 || tileWidth <= 0) {
        std::fprintf(stderr, "COLUMNS and TILE_WIDTH must be positive\n");
        return 2;
    }
    std::vector<std::pair<std::string, Raster>> tiles;
    for (int i = 5; i < argc; ++i) {
        const std::string entry = argv[i];
        const auto equals = entry.find('=');
        if (equals == std::string::npos) {
            std::fprintf(stderr, "expected LABEL=PICTURE.png, got %s\n", entry.c_str());
            return 2;
        }
        const auto picture = ResourceArt::readPng(entry.substr(equals + 1));
        if (!picture) {
            std::fprintf(stderr, "cannot read %s\n", entry.substr(equals + 1).c_str());
            return 1;
        }
        tiles.emplace_back(entry.substr(0, equals), resized(*picture, tileWidth));
    }
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[2], 0, &face) ||
        FT_Set_Pixel_Sizes(face, 0, kFontPixels)) {
        std::fprintf(stderr, "cannot load the font %s\n", argv[2]);
        return 1;
    }
    int tileHeight = 0;
    for (const auto& [label, tile] : tiles)
        tileHeight = std::max(tileHeight, tile.height);
    const int rows = (static_cast<int>(tiles.size()) + columns - 1) / columns;
    const int cellHeight = tileHeight + kLabelHeight;
    Raster sheet(kGap + columns * (tileWidth + kGap), kGap + rows * (cellHeight + kGap));
    fill(sheet, 0, 0, sheet.width, sheet.height, kBackground);
    bool ok = true;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const auto& [label, tile] = tiles[i];
        const int x0 = kGap + static_cast<int>(i % columns) * (tileWidth + kGap);
        const int y0 = kGap + static_cast<int>(i / columns) * (cellHeight + kGap);
        for (int y = 0; y < tile.height; ++y)
            std::copy_n(tile.pixel(0, y), tile.width * 4, sheet.pixel(x0, y0 + y));
        fill(sheet, x0, y0 + tileHeight, tileWidth, kLabelHeight, kLabelBand);
        ok = drawText(sheet, face, label, x0 + tileWidth / 2,
                      y0 + tileHeight + kLabelHeight / 2 + kFontPixels / 3) &&
             ok;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!ok)
        std::fprintf(stderr, "some label could not be drawn\n");
    return ResourceArt::writePng(output, sheet) && ok ? 0 : 1;
}
