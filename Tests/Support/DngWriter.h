#pragma once

// A minimal DNG writer for tests: one uncompressed 16-bit RGGB Bayer mosaic in IFD 0 with the colour
// tags a raw developer needs, so that the tests know exactly what light every photosite saw.
//
// The "camera" sees linear sRGB scaled per channel by `gains` (a green-heavy sensor, as real ones
// are), so its ColorMatrix1 is diag(gains) × (XYZ → linear sRGB) and the neutral it records is
// `gains` itself. A developer that honours AsShotNeutral and ColorMatrix1 therefore gives back the
// scene's linear sRGB.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace RUXTest {

struct DngOptions {
    int width = 96;  // even
    int height = 64; // even
    // The scene's linear sRGB at a photosite, 1 being the white level.
    std::function<std::array<double, 3>(int x, int y)> scene = [](int, int) {
        return std::array<double, 3>{0.18, 0.18, 0.18};
    };
    std::array<double, 3> gains{0.5, 1.0, 0.7};
    bool asShotNeutral = true;
    int orientation = 1;
    std::uint16_t blackLevel = 256;
    std::uint32_t whiteLevel = 16383;
    // The Exif IFD (exposure, lens, date) besides Make and Model.
    bool exif = true;
    // A header claiming another size than the strip holds (0: the real size).
    std::uint32_t claimedWidth = 0;
    std::uint32_t claimedHeight = 0;
};

namespace dng_detail {

struct Entry {
    std::uint16_t tag;
    std::uint16_t type; // 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 10 SRATIONAL
    std::uint32_t count;
    std::vector<std::uint8_t> bytes;
};

inline void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

inline Entry shorts(std::uint16_t tag, std::vector<std::uint32_t> values) {
    Entry e{tag, 3, static_cast<std::uint32_t>(values.size()), {}};
    for (auto v : values)
        put16(e.bytes, v);
    return e;
}
inline Entry longs(std::uint16_t tag, std::vector<std::uint32_t> values) {
    Entry e{tag, 4, static_cast<std::uint32_t>(values.size()), {}};
    for (auto v : values)
        put32(e.bytes, v);
    return e;
}
inline Entry bytes(std::uint16_t tag, std::vector<std::uint8_t> values) {
    return Entry{tag, 1, static_cast<std::uint32_t>(values.size()), std::move(values)};
}
inline Entry ascii(std::uint16_t tag, const std::string& text) {
    Entry e{tag, 2, static_cast<std::uint32_t>(text.size() + 1), {text.begin(), text.end()}};
    e.bytes.push_back(0);
    return e;
}
inline Entry rationals(std::uint16_t tag, const std::vector<double>& values, bool isSigned) {
    constexpr std::int32_t kDenominator = 10000;
    Entry e{
        tag, static_cast<std::uint16_t>(isSigned ? 10 : 5), static_cast<std::uint32_t>(values.size()), {}};
    for (double v : values) {
        put32(e.bytes, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * kDenominator))));
        put32(e.bytes, kDenominator);
    }
    return e;
}

inline Entry rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) {
    Entry e{tag, 5, 1, {}};
    put32(e.bytes, numerator);
    put32(e.bytes, denominator);
    return e;
}

// Writes an IFD at out's end (entries sorted by tag), its out-of-line values after it; offsetFixups
// receives, for each entry whose value is an offset to patch later, the position of that value.
inline void writeIfd(std::vector<std::uint8_t>& out, std::vector<Entry> entries,
                     const std::function<void(std::uint16_t tag, std::size_t valuePosition)>& note) {
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    const std::size_t start = out.size();
    std::size_t data = start + 2 + entries.size() * 12 + 4;
    put16(out, static_cast<std::uint32_t>(entries.size()));
    std::vector<std::uint8_t> extra;
    for (const Entry& e : entries) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        note(e.tag, out.size());
        if (e.bytes.size() <= 4) {
            std::vector<std::uint8_t> inline4 = e.bytes;
            inline4.resize(4, 0);
            out.insert(out.end(), inline4.begin(), inline4.end());
        } else {
            put32(out, static_cast<std::uint32_t>(data + extra.size()));
            extra.insert(extra.end(), e.bytes.begin(), e.bytes.end());
            if (extra.size() % 2)
                extra.push_back(0);
        }
    }
    put32(out, 0); // no next IFD
    out.insert(out.end(), extra.begin(), extra.end());
}

inline void patch32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace dng_detail

// The bytes of a DNG file as options describe it. Pixel data comes last, so that cutting the file
// short truncates the mosaic, not the header.
inline std::vector<std::uint8_t> makeDng(const DngOptions& options) {
    using namespace dng_detail;
    const int w = options.width;
    const int h = options.height;
    const std::uint32_t claimedW =
        options.claimedWidth ? options.claimedWidth : static_cast<std::uint32_t>(w);
    const std::uint32_t claimedH =
        options.claimedHeight ? options.claimedHeight : static_cast<std::uint32_t>(h);
    const std::uint64_t stripBytes = std::uint64_t{claimedW} * claimedH * 2;

    // XYZ (D65) to linear sRGB, the inverse of the sRGB primaries' matrix raw developers use.
    constexpr double kXyzToSrgb[3][3] = {{3.2404542, -1.5371385, -0.4985314},
                                         {-0.9692660, 1.8760108, 0.0415560},
                                         {0.0556434, -0.2040259, 1.0572252}};
    std::vector<double> colorMatrix;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            colorMatrix.push_back(options.gains[static_cast<std::size_t>(r)] * kXyzToSrgb[r][c]);

    std::vector<Entry> ifd0 = {
        longs(254, {0}),
        longs(256, {claimedW}),
        longs(257, {claimedH}),
        shorts(258, {16}),
        shorts(259, {1}),
        shorts(262, {32803}),
        ascii(271, "RUX Test Cameras"),
        ascii(272, "Mosaic One"),
        longs(273, {0}), // strip offset, patched below
        shorts(274, {static_cast<std::uint32_t>(options.orientation)}),
        shorts(277, {1}),
        longs(278, {claimedH}),
        longs(279, {static_cast<std::uint32_t>(std::min<std::uint64_t>(stripBytes, 0xffffffffu))}),
        shorts(284, {1}),
        ascii(306, "2024:05:01 10:20:30"),
        shorts(33421, {2, 2}),
        bytes(33422, {0, 1, 1, 2}),
        bytes(50706, {1, 4, 0, 0}),
        bytes(50707, {1, 1, 0, 0}),
        ascii(50708, "RUX Test Cameras Mosaic One"),
        shorts(50714, {options.blackLevel}),
        longs(50717, {options.whiteLevel}),
        rationals(50721, colorMatrix, true),
        shorts(50778, {21}), // D65
    };
    if (options.asShotNeutral)
        ifd0.push_back(rationals(50728, {options.gains[0], options.gains[1], options.gains[2]}, false));
    if (options.exif)
        ifd0.push_back(longs(34665, {0})); // Exif IFD offset, patched below

    std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
    put32(out, 8);
    std::size_t stripOffsetAt = 0;
    std::size_t exifOffsetAt = 0;
    writeIfd(out, ifd0, [&](std::uint16_t tag, std::size_t at) {
        if (tag == 273)
            stripOffsetAt = at;
        if (tag == 34665)
            exifOffsetAt = at;
    });
    if (options.exif) {
        patch32(out, exifOffsetAt, static_cast<std::uint32_t>(out.size()));
        writeIfd(out,
                 {rational(33434, 1, 125), rational(33437, 56, 10), shorts(34855, {200}),
                  ascii(36867, "2024:05:01 10:20:30"), ascii(42036, "RUX 35mm F2 Test Lens")},
                 [](std::uint16_t, std::size_t) {});
    }
    if (out.size() % 2)
        out.push_back(0);
    patch32(out, stripOffsetAt, static_cast<std::uint32_t>(out.size()));

    const double range = static_cast<double>(options.whiteLevel - options.blackLevel);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int channel = (y % 2) + (x % 2); // RGGB: 0 red, 1 green, 2 blue
            const double light = options.scene(x, y)[static_cast<std::size_t>(channel)] *
                                 options.gains[static_cast<std::size_t>(channel)];
            const double value = options.blackLevel + std::clamp(light, 0.0, 1.0) * range;
            put16(out, static_cast<std::uint32_t>(std::lround(value)));
        }
    }
    return out;
}

} // namespace RUXTest
