#include "Pipeline/Srgb.h"

#include <ImageEngine/ToneCurve.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace ImageEngine {

ToneCurve::ToneCurve() : m_points{{0, 0}, {1, 1}}, m_slopes{1, 1} {}

ToneCurve ToneCurve::throughPoints(const std::vector<Point>& given) {
    std::vector<Point> points;
    for (const Point& p : given) {
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            points.push_back({std::clamp(p.x, 0.0, 1.0), std::clamp(p.y, 0.0, 1.0)});
        }
    }
    // A stable sort keeps the given order among equal x, so the later point of a pair is the last.
    std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
    std::vector<Point> kept;
    for (const Point& p : points) {
        if (!kept.empty() && kept.back().x == p.x) {
            kept.back() = p;
        } else {
            kept.push_back(p);
        }
    }
    if (kept.empty() || kept.front().x > 0) {
        kept.insert(kept.begin(), {0, 0});
    }
    if (kept.back().x < 1) {
        kept.push_back({1, 1});
    }

    ToneCurve curve;
    curve.m_points = std::move(kept);
    const std::vector<Point>& p = curve.m_points;
    const std::size_t n = p.size();
    // The secant of each interval.
    std::vector<double> secant(n - 1);
    for (std::size_t k = 0; k + 1 < n; ++k) {
        secant[k] = (p[k + 1].y - p[k].y) / (p[k + 1].x - p[k].x);
    }
    // Start from the mean of the neighbouring secants, zero where the curve turns.
    std::vector<double>& m = curve.m_slopes;
    m.assign(n, 0);
    m[0] = secant[0];
    m[n - 1] = secant[n - 2];
    for (std::size_t k = 1; k + 1 < n; ++k) {
        m[k] = secant[k - 1] * secant[k] > 0 ? (secant[k - 1] + secant[k]) / 2 : 0;
    }
    // Limit the slopes of each interval to the circle of radius 3 around the secant, where the
    // cubic stays monotone.
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (secant[k] == 0) {
            m[k] = m[k + 1] = 0;
            continue;
        }
        const double alpha = m[k] / secant[k], beta = m[k + 1] / secant[k];
        const double radius = alpha * alpha + beta * beta;
        if (radius > 9) {
            const double tau = 3 / std::sqrt(radius);
            m[k] = tau * alpha * secant[k];
            m[k + 1] = tau * beta * secant[k];
        }
    }
    return curve;
}

bool ToneCurve::isIdentity() const {
    return std::all_of(m_points.begin(), m_points.end(), [](const Point& p) { return p.x == p.y; });
}

double ToneCurve::valueAt(double x) const {
    x = std::clamp(x, 0.0, 1.0);
    // The interval holding x: the last control point at or left of it.
    auto next = std::upper_bound(m_points.begin(), m_points.end(), x,
                                 [](double value, const Point& p) { return value < p.x; });
    std::size_t k = next == m_points.begin() ? 0 : std::size_t(next - m_points.begin()) - 1;
    k = std::min(k, m_points.size() - 2);
    const Point& a = m_points[k];
    const Point& b = m_points[k + 1];
    const double h = b.x - a.x;
    const double t = (x - a.x) / h;
    // Cubic Hermite between the two points with their slopes.
    const double t2 = t * t, t3 = t2 * t;
    const double value = (2 * t3 - 3 * t2 + 1) * a.y + (t3 - 2 * t2 + t) * h * m_slopes[k] +
                         (-2 * t3 + 3 * t2) * b.y + (t3 - t2) * h * m_slopes[k + 1];
    return std::clamp(value, 0.0, 1.0);
}

namespace {

// The half-precision bits nearest to v, for 0 ≤ v ≤ 1. Scaled by 2^-112, a half's exponent range
// lands on the float's lowest exponents (its subnormals on the float's), so the float's bits are
// the half's shifted by 13.
std::uint16_t halfBits(float v) {
    const float scaled = v * 0x1p-112f;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &scaled, sizeof bits);
    return static_cast<std::uint16_t>((bits + 0x1000) >> 13);
}

} // namespace

std::vector<std::uint32_t> ToneCurve::packedTable() const {
    return packTable(linearTable());
}

std::vector<std::uint32_t> ToneCurve::packTable(const std::vector<float>& table) {
    std::vector<std::uint32_t> packed(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const float next = table[std::min(i + 1, table.size() - 1)];
        packed[i] = static_cast<std::uint32_t>(halfBits(table[i])) |
                    (static_cast<std::uint32_t>(halfBits(next)) << 16);
    }
    return packed;
}

std::vector<float> ToneCurve::linearTable() const {
    std::vector<float> table(kTableSize);
    for (std::size_t i = 0; i < kTableSize; ++i) {
        const double root = double(i) / double(kTableSize - 1);
        table[i] = float(srgbDecodeExact(valueAt(srgbEncodeExact(root * root))));
    }
    return table;
}

namespace {

// How far segmentCubics() may stray from the exact curve, in 8-bit steps of the encoded value: no more
// than the half-precision table's interpolation.
constexpr double kCubicLevelBound = 0.1;

// The curve as the per-pixel step reads it, at the square root of the linear input: linear output
// (decoded again) or the encoded value itself.
double curveAtRoot(const ToneCurve& curve, double root, bool encodedOutput) {
    const double value = curve.valueAt(srgbEncodeExact(root * root));
    return encodedOutput ? value : srgbDecodeExact(value);
}

// The cubic of segment k through curveAtRoot at four Chebyshev nodes of the segment, as coefficients
// of 1, t, t², t³ with t the position within the segment.
std::array<double, 4> fitCurveSegment(const ToneCurve& curve, std::size_t k, bool encodedOutput) {
    double rows[4][5];
    for (int n = 0; n < 4; ++n) {
        const double t = 0.5 - 0.5 * std::cos(std::numbers::pi * (2 * n + 1) / 8);
        const double root = (double(k) + t) / double(ToneCurve::kCubicSegments);
        double power = 1;
        for (int j = 0; j < 4; ++j, power *= t)
            rows[n][j] = power;
        rows[n][4] = curveAtRoot(curve, root, encodedOutput);
    }
    // Gauss–Jordan with partial pivoting; the nodes are distinct, so the system is regular.
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::abs(rows[r][c]) > std::abs(rows[pivot][c]))
                pivot = r;
        std::swap(rows[c], rows[pivot]);
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            const double f = rows[r][c] / rows[c][c];
            for (int j = c; j < 5; ++j)
                rows[r][j] -= f * rows[c][j];
        }
    }
    return {rows[0][4] / rows[0][0], rows[1][4] / rows[1][1], rows[2][4] / rows[2][2],
            rows[3][4] / rows[3][3]};
}

// The slope of the sRGB encoding at linear y ≥ 0: its largest, 12.92, on the linear segment.
double encodeSlope(double y) {
    return y <= 0.0031308 ? 12.92 : 1.055 / 2.4 * std::pow(y, 1 / 2.4 - 1);
}

// Every segment's cubic, in the layout segmentCubics() describes.
std::vector<float> fitCubics(const ToneCurve& curve, bool encodedOutput) {
    std::vector<float> cubics(4 * ToneCurve::kCubicSegments);
    for (std::size_t k = 0; k < ToneCurve::kCubicSegments; ++k) {
        const std::array<double, 4> c = fitCurveSegment(curve, k, encodedOutput);
        for (std::size_t j = 0; j < 4; ++j)
            cubics[j * ToneCurve::kCubicSegments + k] = float(c[j]);
    }
    return cubics;
}

// The cubics at position (0 … kCubicSegments) as the kernels evaluate them: in single precision,
// clamped to 0 … 1.
float cubicsAt(const std::vector<float>& cubics, float position) {
    constexpr std::size_t segments = ToneCurve::kCubicSegments;
    const std::size_t k = std::min(std::size_t(position), segments - 1);
    const float t = position - float(k);
    float value = cubics[3 * segments + k];
    for (int j = 2; j >= 0; --j)
        value = value * t + cubics[std::size_t(j) * segments + k];
    return std::clamp(value, 0.0f, 1.0f);
}

} // namespace

std::vector<float> ToneCurve::encodedSegmentCubics() const {
    std::vector<float> cubics = fitCubics(*this, true);
    // Checked against the exact curve at as many evenly spread roots as the table has entries, with a
    // fifth of the bound to spare for the peaks between them: the encoded value bends sharply near
    // black, where the encoding's straight segment meets its power.
    const std::size_t last = kTableSize - 1;
    for (std::size_t i = 0; i <= last; ++i) {
        const double root = double(i) / double(last);
        const float value = cubicsAt(cubics, float(i) / float(last) * float(kCubicSegments));
        if (!(std::abs(double(value) - curveAtRoot(*this, root, true)) * 255 <= 0.8 * kCubicLevelBound))
            return {};
    }
    return cubics;
}

std::vector<float> ToneCurve::segmentCubics(const std::vector<float>& table) const {
    if (table.size() < 2)
        return {};
    std::vector<float> cubics = fitCubics(*this, false);
    // Checked at every entry of the table (within 5e-6 of the exact curve), as the kernel evaluates
    // them in single precision: the error in linear light times the encoding's slope at the lower of
    // the two values bounds the error of the encoded value.
    const std::size_t last = table.size() - 1;
    for (std::size_t i = 0; i <= last; ++i) {
        const float value = cubicsAt(cubics, float(i) / float(last) * float(kCubicSegments));
        const double error = std::abs(double(value) - double(table[i])) *
                             encodeSlope(std::min(double(value), double(table[i]))) * 255;
        if (!(error <= kCubicLevelBound))
            return {};
    }
    return cubics;
}

} // namespace ImageEngine
