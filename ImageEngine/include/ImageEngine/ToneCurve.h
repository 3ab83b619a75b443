#pragma once

#include <Foundation/Export.h>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ImageEngine {

// A tone curve on encoded values 0 … 1: the monotone cubic of Fritsch and Carlson through control
// points, which never rises above or falls below its neighbouring points (no overshoot, no ringing
// between two close points). The engine's "RUXToneCurve" filter applies one; the editor's curve
// screen draws one. An immutable value; any thread.
class RUX_API ToneCurve {
public:
    struct Point {
        double x = 0;
        double y = 0;
        friend bool operator==(const Point&, const Point&) = default;
    };

    // Entries of linearTable(): fine enough that linear interpolation between them stays within
    // 5e-6 of the exact composed curve in linear light (the engine's tests pin it), far below the
    // smallest step an 8-bit encoding makes (3e-4 near black, 0.009 near white).
    static constexpr std::size_t kTableSize = 4096;

    // The identity: the diagonal from (0, 0) to (1, 1).
    ToneCurve();
    // The curve through points. Points that are not finite are dropped; coordinates are held to
    // 0 … 1; of two points at the same x the later one is kept; the ends (0, 0) and (1, 1) are added
    // when no point sits at x = 0 or x = 1. Never fails.
    static ToneCurve throughPoints(const std::vector<Point>& points);

    // The control points after the rules above, sorted by x, the ends included.
    const std::vector<Point>& points() const { return m_points; }
    // True when every control point lies on the diagonal, where the curve is the identity.
    bool isIdentity() const;
    // The curve at x, x held to 0 … 1.
    double valueAt(double x) const;
    // The curve composed with the sRGB transfer functions for the per-pixel step, indexed by the
    // square root of the linear input: entry i is decode(valueAt(encode(r²))) for r = i / (kTableSize
    // − 1). The square root is one vector instruction and spreads the entries much as the encoding
    // would (densely near black), so the per-pixel step needs no power function.
    std::vector<float> linearTable() const;
    // The same table packed for the per-pixel step: word i holds entries i (low half) and i + 1 (high
    // half, the last entry again at the end) as half-precision numbers, so that one load gives both
    // ends of a step and the table stays in the first-level cache. Rounding to half precision moves
    // an entry by at most 2^-12 of itself, under a tenth of an 8-bit step of the encoded value (the
    // engine's tests pin it).
    std::vector<std::uint32_t> packedTable() const;
    // packedTable() from a linearTable() already at hand.
    static std::vector<std::uint32_t> packTable(const std::vector<float>& table);

    // Segments of the cubics below, evenly spread over the table's index.
    static constexpr std::size_t kCubicSegments = 16;
    // The table (linearTable()) as kCubicSegments cubics, each through the exact composed curve at
    // four Chebyshev nodes of its segment and written in the position t (0 … 1) within it: the
    // constant terms of all segments first, then those of t, t² and t³. Empty when, clamped to
    // 0 … 1 and evaluated in single precision, they stray more than a tenth of an 8-bit step of the
    // encoded value from the table at any entry (steep turns near black need more segments), so
    // that vector kernels may pick each lane's cubic from registers rather than gather entries.
    std::vector<float> segmentCubics(const std::vector<float>& table) const;
    // The curve alone, without the decoding after it, as cubics in the same layout: the encoded
    // output at the square root of the linear input, for a per-pixel step whose next step encodes
    // its input anyway (a look's table), so that the two run as one. Empty when, clamped and in single
    // precision, they may stray more than a tenth of an 8-bit step from the exact curve.
    std::vector<float> encodedSegmentCubics() const;

private:
    std::vector<Point> m_points;
    // The slope at each control point.
    std::vector<double> m_slopes;
};

} // namespace ImageEngine
