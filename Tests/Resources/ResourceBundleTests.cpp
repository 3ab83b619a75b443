// The committed bundle against what the editor expects of it: every name present and decodable at every
// density, the tables in the cube layout the editor reads, looks that really differ, overlays that leave
// the centre alone under the linear-light overlay blend, and files that match the generator's code.
#include "CircleMask.h"
#include "Icons.h"
#include "Looks.h"
#include "LookupTableImage.h"
#include "Overlays.h"
#include "PngFile.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace ResourceArt;

const std::filesystem::path kResources = RUX_RESOURCES_DIR;
const std::filesystem::path kBundle = kResources / "RUXImageEditor.bundle";

std::optional<Raster> load(const std::string& name) {
    return readPng((kBundle / (name + ".png")).string());
}

// The words of a space-separated list.
std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The names the editor asks for, written out independently of the generator's own tables.
const std::vector<std::string> kIconNames =
    words("ic_arrow_back ic_filter_back ic_filter_back_disable ic_filter_next ic_filter_next_disable "
          "ic_crop ic_brightness ic_saturation ic_contrast ic_blur ic_rotate ic_crop_pressdown "
          "ic_brightness_pressdown ic_saturation_pressdown ic_contrast_pressdown ic_blur_pressdown "
          "ic_rotate_pressdown ic_control_done ic_control_cancel ic_control_centre ic_control_drag "
          "ic_rotate_left ic_rotate_right ic_flip_v ic_flip_h ic_rotate_left_pressdown "
          "ic_rotate_right_pressdown ic_flip_v_pressdown ic_flip_h_pressdown");
const std::vector<std::string> kTableNames = {
    "lut_aden_map",    "lut_caprice_map", "lut_crema_map",    "lut_custom_map", "lut_instant_map",
    "lut_juno_map",    "lut_lark_map",    "lut_ludwig_map",   "lut_pro_map",    "lut_reyes_map",
    "lut_slumber_map", "lut_tokyo_map",   "lut_valencia_map", "lut_vivid_map"};
const std::vector<std::string> kOverlayNames = {"overlay_caprice_darkcorner", "overlay_instant_darkcorner",
                                                "overlay_pro_darkcorner", "overlay_tokyo_darkcorner",
                                                "overlay_vivid_darkcorner"};

// ---- Icons -----------------------------------------------------------------------------------------

class IconFile : public testing::TestWithParam<std::string> {};

TEST_P(IconFile, DecodesAtEveryDensityWithTheSamePointSize) {
    const auto plain = load(GetParam());
    ASSERT_TRUE(plain) << GetParam() << ".png is missing or does not decode";
    for (int scale : {2, 3}) {
        const auto dense = load(GetParam() + "@" + std::to_string(scale) + "x");
        ASSERT_TRUE(dense) << GetParam() << "@" << scale << "x";
        EXPECT_EQ(dense->width, plain->width * scale);
        EXPECT_EQ(dense->height, plain->height * scale);
    }
    // A glyph on a transparent ground: something is drawn, and the corners let the button colour through.
    int drawn = 0;
    for (std::size_t i = 3; i < plain->rgba.size(); i += 4)
        drawn += plain->rgba[i] > 0;
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(plain->pixel(0, 0)[3], 0);
    EXPECT_EQ(plain->pixel(plain->width - 1, plain->height - 1)[3], 0);
}

INSTANTIATE_TEST_SUITE_P(Bundle, IconFile, testing::ValuesIn(kIconNames),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

// The strongest pixel of an icon: its alpha and the colour painted there.
std::array<int, 4> strongestPixel(const Raster& icon) {
    std::array<int, 4> best{0, 0, 0, -1};
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x)
            if (icon.pixel(x, y)[3] > best[3])
                best = {icon.pixel(x, y)[0], icon.pixel(x, y)[1], icon.pixel(x, y)[2], icon.pixel(x, y)[3]};
    return best;
}

TEST(IconStates, PressedIsAccentDisabledIsDimmedNormalIsLight) {
    for (const auto& glyph : glyphs()) {
        SCOPED_TRACE(glyph.name);
        const auto normal = load(glyph.name);
        const auto pressed = load(iconResourceName(glyph, IconState::Pressed));
        ASSERT_TRUE(normal && pressed);
        EXPECT_EQ(strongestPixel(*normal), (std::array<int, 4>{255, 255, 255, 255}));
        EXPECT_EQ(strongestPixel(*pressed), (std::array<int, 4>{0xFF, 0x57, 0x22, 255}));
        if (glyph.hasDisabledState) {
            const auto disabled = load(iconResourceName(glyph, IconState::Disabled));
            ASSERT_TRUE(disabled);
            EXPECT_LT(strongestPixel(*disabled)[3], 128);
        }
    }
}

// ---- Lookup tables ---------------------------------------------------------------------------------

// Applies a table the way the editor's colour cube does, read straight from the file layout: tile number
// (Y / 33) × (W / 33) + X / 33 is blue, the column in the tile red, the row green; trilinear in between.
std::array<double, 3> applyTable(const Raster& table, std::array<double, 3> rgb) {
    constexpr int n = kLookupTableSize;
    const int tilesPerRow = table.width / n;
    auto entry = [&](int r, int g, int b, int channel) {
        return table.pixel((b % tilesPerRow) * n + r, (b / tilesPerRow) * n + g)[channel] / 255.0;
    };
    int lo[3];
    double frac[3];
    for (int c = 0; c < 3; ++c) {
        const double f = std::clamp(rgb[c], 0.0, 1.0) * (n - 1);
        lo[c] = std::min(n - 2, static_cast<int>(f));
        frac[c] = f - lo[c];
    }
    std::array<double, 3> out{};
    for (int corner = 0; corner < 8; ++corner) {
        const int dr = corner & 1, dg = (corner >> 1) & 1, db = corner >> 2;
        const double weight =
            (dr ? frac[0] : 1 - frac[0]) * (dg ? frac[1] : 1 - frac[1]) * (db ? frac[2] : 1 - frac[2]);
        for (int c = 0; c < 3; ++c)
            out[c] += weight * entry(lo[0] + dr, lo[1] + dg, lo[2] + db, c);
    }
    return out;
}

// A synthetic test image: a 17-step colour cube, offset so most samples fall between table entries.
std::vector<std::array<double, 3>> testColours() {
    std::vector<std::array<double, 3>> colours;
    for (int r = 0; r < 17; ++r)
        for (int g = 0; g < 17; ++g)
            for (int b = 0; b < 17; ++b)
                colours.push_back({(r + 0.3) / 17.3, (g + 0.6) / 17.6, (b + 0.1) / 17.1});
    return colours;
}

std::vector<std::array<double, 3>> graded(const Raster& table) {
    std::vector<std::array<double, 3>> out;
    for (const auto& c : testColours())
        out.push_back(applyTable(table, c));
    return out;
}

// Mean Euclidean distance in 8-bit levels.
double meanDifference(const std::vector<std::array<double, 3>>& a,
                      const std::vector<std::array<double, 3>>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::hypot(a[i][0] - b[i][0], a[i][1] - b[i][1], a[i][2] - b[i][2]) * 255.0;
    return sum / a.size();
}

TEST(LookupTables, AreInFormatAndDifferClearlyFromIdentityAndEachOther) {
    // A look must change a photo visibly (25 levels on average is a strong grade) and no two looks may be
    // near-duplicates (10 levels is about the smallest mean shift a viewer tells apart side by side).
    constexpr double kFromIdentity = 25.0;
    constexpr double kFromEachOther = 10.0;
    const auto identity = testColours();
    std::vector<std::vector<std::array<double, 3>>> results;
    for (const auto& name : kTableNames) {
        SCOPED_TRACE(name);
        const auto table = load(name);
        ASSERT_TRUE(table);
        ASSERT_EQ(table->width % kLookupTableSize, 0);
        ASSERT_EQ(table->height % kLookupTableSize, 0);
        ASSERT_EQ((table->width / kLookupTableSize) * (table->height / kLookupTableSize), kLookupTableSize);
        for (std::size_t i = 3; i < table->rgba.size(); i += 4)
            ASSERT_EQ(table->rgba[i], 255) << "tables are opaque so the cube's colours are the pixels' own";
        results.push_back(graded(*table));
        EXPECT_GT(meanDifference(results.back(), identity), kFromIdentity);
    }
    for (std::size_t i = 0; i < results.size(); ++i)
        for (std::size_t j = i + 1; j < results.size(); ++j)
            EXPECT_GT(meanDifference(results[i], results[j]), kFromEachOther)
                << kTableNames[i] << " and " << kTableNames[j] << " look alike";
}

TEST(LookupTables, IdentityTableRoundTripsThroughAFileWithinRounding) {
    const auto path = (std::filesystem::temp_directory_path() / "rux_identity_table.png").string();
    ASSERT_TRUE(writePng(path, identityLookupTableImage()));
    const auto table = readPng(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->width, 1089);
    EXPECT_EQ(table->height, 33);
    // Each entry is rounded to 8 bits, and a trilinear blend of rounded entries errs by at most as much.
    double worst = 0.0;
    for (const auto& c : testColours()) {
        const auto out = applyTable(*table, c);
        for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::abs(out[k] - c[k]) * 255.0);
    }
    EXPECT_LE(worst, 0.5 + 1e-9);
}

TEST(LookupTables, CommittedFilesMatchTheGenerator) {
    for (const auto& look : looks()) {
        const auto committed = load(look.tableName);
        ASSERT_TRUE(committed) << look.tableName;
        EXPECT_EQ(committed->rgba, lookupTableImage(look.grade).rgba)
            << look.tableName << " is stale: run scripts/generate-resources.sh";
    }
}

// ---- Overlays and the circle mask ----------------------------------------------------------------

// The engine's overlay blend in linear light, overlay s over photo b.
double overlayBlend(double s, double b) {
    return b <= 0.5 ? 2.0 * s * b : 1.0 - 2.0 * (1.0 - s) * (1.0 - b);
}

TEST(Overlays, LeaveTheCentreUnchangedAndDarkenTheCorners) {
    for (const auto& name : kOverlayNames) {
        SCOPED_TRACE(name);
        const auto overlay = load(name);
        ASSERT_TRUE(overlay);
        const int w = overlay->width, h = overlay->height;
        // Every photo level under the middle fifth of the overlay stays within one level.
        int worst = 0;
        for (int y = h * 2 / 5; y < h * 3 / 5; y += 7)
            for (int x = w * 2 / 5; x < w * 3 / 5; x += 7)
                for (int level = 0; level < 256; level += 5)
                    for (int c = 0; c < 3; ++c) {
                        const double s = linearFromSrgb(overlay->pixel(x, y)[c] / 255.0);
                        const double out = srgbFromLinear(overlayBlend(s, linearFromSrgb(level / 255.0)));
                        worst = std::max(worst, std::abs(static_cast<int>(std::lround(out * 255.0)) - level));
                    }
        EXPECT_LE(worst, 1);
        // A dark-corner overlay takes at least a fifth off a mid-grey photo's corners.
        for (auto [x, y] :
             {std::pair{0, 0}, std::pair{w - 1, 0}, std::pair{0, h - 1}, std::pair{w - 1, h - 1}})
            for (int c = 0; c < 3; ++c)
                EXPECT_LT(overlayBlend(linearFromSrgb(overlay->pixel(x, y)[c] / 255.0), 0.5), 0.4);
    }
}

TEST(Overlays, FallSmoothlyFromCentreToCorner) {
    // Averaged over 8 × 8 blocks (the dither's grain), the diagonal profile must never brighten towards the
    // corner: a ripple or band would show as a ring on the photo.
    for (const auto& name : kOverlayNames) {
        SCOPED_TRACE(name);
        const auto overlay = load(name);
        ASSERT_TRUE(overlay);
        double previous = 1e9;
        for (int d = overlay->width / 2; d + 8 <= overlay->width; d += 8) {
            double sum = 0.0;
            for (int y = d; y < d + 8; ++y)
                for (int x = d; x < d + 8; ++x)
                    sum += overlay->pixel(x, y)[1];
            EXPECT_LE(sum / 64.0, previous + 0.25) << "at " << d;
            previous = sum / 64.0;
        }
    }
}

TEST(CircleMask, IsASoftBlackDiscOnWhiteAtEveryDensity) {
    for (const std::string suffix : {"", "@2x", "@3x"}) {
        SCOPED_TRACE(suffix);
        const auto mask = readPng((kResources / ("circle" + suffix + ".png")).string());
        ASSERT_TRUE(mask);
        const int size = mask->width;
        EXPECT_EQ(mask->height, size);
        EXPECT_EQ(size % kCircleMaskPointSize, 0);
        EXPECT_EQ(mask->pixel(size / 2, size / 2)[0], 0);
        // The border must be white, or the edge of the stretched image would show as a seam.
        for (int i = 0; i < size; ++i) {
            EXPECT_EQ(mask->pixel(i, 0)[0], 255);
            EXPECT_EQ(mask->pixel(0, i)[0], 255);
        }
        // Grey rises steadily from the centre out, with a real soft band in between.
        int greys = 0;
        for (int x = size / 2 + 1; x < size; ++x) {
            EXPECT_GE(mask->pixel(x, size / 2)[0], mask->pixel(x - 1, size / 2)[0]);
            greys += mask->pixel(x, size / 2)[0] > 0 && mask->pixel(x, size / 2)[0] < 255;
        }
        EXPECT_GT(greys, size / 10);
    }
}

} // namespace
