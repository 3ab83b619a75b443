#include "Text/TextEngine.h"

#include "Render/DrawTarget.h"
#include "Render/Raster.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <Toolkit/Font.h>
#include <cmath>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <map>
#include <memory>
#include FT_FREETYPE_H

namespace Toolkit::Text {

namespace {

struct Glyph {
    int width = 0, height = 0, left = 0, top = 0;
    std::vector<std::uint8_t> coverage;
};

// One typeface with its caches; everything here runs on the main thread.
struct Face {
    FT_Face face = nullptr;
    FaceMetrics metrics;
    std::map<char32_t, unsigned> glyphIndices;
    std::map<unsigned, double> advances; // em fractions
    std::map<std::uint64_t, Glyph> glyphs;
    long currentSize = 0;
};

// The glyph cache is cleared when it grows past this many glyphs; a screen uses a few hundred.
constexpr std::size_t kGlyphCacheLimit = 4096;

FT_Library library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) {
            Foundation::log("Font: FreeType could not start; text is not drawn");
            return static_cast<FT_Library>(nullptr);
        }
        return l;
    }();
    return lib;
}

// The face the layouts were drawn for is a phone's system sans, whose widths are Helvetica's.
// Liberation Sans (Debian's fonts-liberation) is metric-compatible with Arial, whose advances are
// Helvetica's, so names sized for the phone fit their labels here too; DejaVu Sans, fontconfig's
// usual "sans-serif", is about an eighth wider and cuts the longer look names at 10 points. When
// Liberation Sans is missing, fontconfig's nearest match (whatever "sans-serif" gives) stands in.
constexpr const char* kFacePatterns[2] = {"Liberation Sans,sans-serif", "Liberation Sans,sans-serif:bold"};

// Both typefaces are looked up once, through a configuration of our own that is released again, so
// that fontconfig keeps no process-wide state on our behalf.
std::string findFontFile(bool bold) {
    static std::string paths[2];
    static bool searched = false;
    if (!searched) {
        searched = true;
        if (FcConfig* config = FcInitLoadConfigAndFonts()) {
            for (int i = 0; i < 2; ++i) {
                FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(kFacePatterns[i]));
                if (!pattern)
                    continue;
                FcConfigSubstitute(config, pattern, FcMatchPattern);
                FcDefaultSubstitute(pattern);
                FcResult result;
                if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
                    FcChar8* file = nullptr;
                    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
                        paths[i] = reinterpret_cast<const char*>(file);
                    FcPatternDestroy(match);
                }
                FcPatternDestroy(pattern);
            }
            FcConfigDestroy(config);
        }
    }
    return paths[bold ? 1 : 0];
}

Face* face(bool bold) {
    static std::unique_ptr<Face> faces[2];
    static bool tried[2] = {false, false};
    const int i = bold ? 1 : 0;
    if (!tried[i]) {
        tried[i] = true;
        const std::string path = findFontFile(bold);
        FT_Face f = nullptr;
        if (path.empty() || !library() || FT_New_Face(library(), path.c_str(), 0, &f) != 0 ||
            !f->units_per_EM) {
            Foundation::log("Font: no %s sans-serif typeface found; text is not drawn",
                            bold ? "bold" : "regular");
            return nullptr;
        }
        faces[i] = std::make_unique<Face>();
        faces[i]->face = f;
        const double em = f->units_per_EM;
        faces[i]->metrics = {f->ascender / em, -f->descender / em, f->height / em};
    }
    return faces[i].get();
}

unsigned glyphIndex(Face& f, char32_t c) {
    auto it = f.glyphIndices.find(c);
    if (it != f.glyphIndices.end())
        return it->second;
    const unsigned index = FT_Get_Char_Index(f.face, c);
    f.glyphIndices[c] = index;
    return index;
}

double advanceOf(Face& f, unsigned index) {
    auto it = f.advances.find(index);
    if (it != f.advances.end())
        return it->second;
    double advance = 0;
    if (FT_Load_Glyph(f.face, index, FT_LOAD_NO_SCALE) == 0)
        advance = double(f.face->glyph->advance.x) / f.face->units_per_EM;
    f.advances[index] = advance;
    return advance;
}

const Glyph& rasterize(Face& f, unsigned index, long size26) {
    const std::uint64_t key = (std::uint64_t(size26) << 32) | index;
    auto it = f.glyphs.find(key);
    if (it != f.glyphs.end())
        return it->second;
    if (f.glyphs.size() >= kGlyphCacheLimit)
        f.glyphs.clear();
    Glyph& glyph = f.glyphs[key];
    if (f.currentSize != size26) {
        if (FT_Set_Char_Size(f.face, 0, size26, 72, 72) != 0)
            return glyph;
        f.currentSize = size26;
    }
    // Light hinting: crisp horizontal stems without distorting the advances used for layout.
    if (FT_Load_Glyph(f.face, index, FT_LOAD_TARGET_LIGHT) != 0 ||
        FT_Render_Glyph(f.face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return glyph;
    const FT_Bitmap& b = f.face->glyph->bitmap;
    if (b.pixel_mode != FT_PIXEL_MODE_GRAY)
        return glyph;
    glyph.width = static_cast<int>(b.width);
    glyph.height = static_cast<int>(b.rows);
    glyph.left = f.face->glyph->bitmap_left;
    glyph.top = f.face->glyph->bitmap_top;
    glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.height);
    for (int y = 0; y < glyph.height; ++y) {
        const unsigned char* row = b.buffer + static_cast<std::ptrdiff_t>(y) * b.pitch;
        std::copy(row, row + glyph.width,
                  glyph.coverage.begin() + static_cast<std::ptrdiff_t>(y) * glyph.width);
    }
    return glyph;
}

} // namespace

std::u32string decodeUtf8(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        char32_t cp = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
        bool ok = length > 0 && i + length <= n;
        for (int k = 1; ok && k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

FaceMetrics faceMetrics(bool bold) {
    Face* f = face(bold);
    return f ? f->metrics : FaceMetrics{};
}

std::vector<double> advances(const std::u32string& text, bool bold, double pointSize) {
    std::vector<double> result(text.size(), 0.0);
    Face* f = face(bold);
    if (!f)
        return result;
    for (std::size_t i = 0; i < text.size(); ++i)
        result[i] = advanceOf(*f, glyphIndex(*f, text[i])) * pointSize;
    return result;
}

void drawText(Graphics::BitmapContext& context, const std::u32string& text, const Font& font,
              Graphics::Point origin, Color color) {
    Face* f = face(font.isBold());
    if (!f || text.empty() || color.alpha <= 0)
        return;
    Graphics::Bitmap& bitmap = context.bitmap();
    const DrawTarget* target = currentDrawTarget(context);
    // User space to top-left pixels: the context's transform, then the flip of its y-up device space.
    const Graphics::AffineTransform viewToPixel =
        target ? target->viewToPixel
               : Graphics::AffineTransform::concat(context.ctm(), {1, 0, 0, -1, 0, double(bitmap.height())});
    if (!isAxisAligned(viewToPixel) || bitmap.format() != Graphics::PixelFormat::RGBA8)
        return;
    const PixelRect clip = target ? target->clip : PixelRect{0, 0, bitmap.width(), bitmap.height()};
    const double scale = viewToPixel.a;
    const long size26 = std::lround(font.pointSize() * scale * 64);
    if (size26 <= 0 || size26 > (1 << 20))
        return;
    const PremultipliedColor premultiplied = PremultipliedColor::from(color);
    const Graphics::Point start = viewToPixel.applyToPoint(origin);
    const int baseline = static_cast<int>(std::lround(start.y));
    double pen = start.x;
    for (char32_t c : text) {
        const unsigned index = glyphIndex(*f, c);
        const Glyph& glyph = rasterize(*f, index, size26);
        if (glyph.width > 0)
            drawMask(bitmap, glyph.coverage.data(), glyph.width, glyph.height,
                     static_cast<std::size_t>(glyph.width), static_cast<int>(std::lround(pen)) + glyph.left,
                     baseline - glyph.top, clip, premultiplied);
        pen += advanceOf(*f, index) * font.pointSize() * scale;
    }
}

} // namespace Toolkit::Text
