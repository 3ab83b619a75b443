// Regenerates every picture the editor loads: the icons, the looks' lookup tables and overlays in the
// resource bundle, and the circle blur's mask beside it. Deterministic, so a regeneration without a change
// to this program leaves the committed files byte for byte as they were.
#include "CircleMask.h"
#include "Icons.h"
#include "Looks.h"
#include "LookupTableImage.h"
#include "Overlays.h"
#include "PngFile.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace ResourceArt;

// Overlays are stretched over the whole photo; at this size a 3072-pixel photo magnifies them threefold,
// which the dither keeps free of bands.
constexpr int kOverlaySize = 1024;

// The name of a resource at a pixel scale: plain for 1, "name@2x" and "name@3x" above.
std::string scaledName(const std::string& name, int scale) {
    return scale == 1 ? name : name + "@" + std::to_string(scale) + "x";
}

bool generate(const std::filesystem::path& resources) {
    const std::filesystem::path bundle = resources / "RUXImageEditor.bundle";
    std::error_code error;
    std::filesystem::create_directories(bundle, error);
    if (error) {
        std::fprintf(stderr, "could not create %s\n", bundle.c_str());
        return false;
    }
    int count = 0;
    bool ok = true;
    auto write = [&](const std::filesystem::path& dir, const std::string& name, const Raster& image) {
        ok = writePng((dir / (name + ".png")).string(), image) && ok;
        ++count;
    };
    for (const auto& glyph : glyphs()) {
        for (IconState state : {IconState::Normal, IconState::Pressed, IconState::Disabled}) {
            if (state == IconState::Disabled && !glyph.hasDisabledState)
                continue;
            for (int scale = 1; scale <= 3; ++scale)
                write(bundle, scaledName(iconResourceName(glyph, state), scale),
                      iconImage(glyph, state, scale));
        }
    }
    for (const auto& look : looks())
        write(bundle, look.tableName, lookupTableImage(look.grade));
    for (const auto& style : vignetteStyles())
        write(bundle, style.name, vignetteImage(style, kOverlaySize));
    for (int scale = 1; scale <= 3; ++scale)
        write(resources, scaledName("circle", scale), circleMaskImage(scale));
    std::printf("%d images written under %s\n", count, resources.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCES_DIR\n", argv[0]);
        return 2;
    }
    return generate(argv[1]) ? 0 : 1;
}
