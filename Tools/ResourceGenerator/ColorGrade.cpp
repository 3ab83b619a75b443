#include "ColorGrade.h"

#include <algorithm>
#include <cmath>

namespace ResourceArt {

ToneCurve::ToneCurve(std::initializer_list<std::pair<double, double>> points) {
    for (const auto& [x, y] : points) {
        m_x.push_back(x);
        m_y.push_back(y);
    }
    const std::size_t n = m_x.size();
    if (n < 2)
        return;
    // Fritsch–Carlson: secant slopes, averaged at inner points, then limited so that each segment
    // stays monotone.
    std::vector<double> secant(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i)
        secant[i] = (m_y[i + 1] - m_y[i]) / (m_x[i + 1] - m_x[i]);
    m_slope.assign(n, 0.0);
    m_slope[0] = secant[0];
    m_slope[n - 1] = secant[n - 2];
    for (std::size_t i = 1; i + 1 < n; ++i)
        m_slope[i] = secant[i - 1] * secant[i] <= 0.0 ? 0.0 : (secant[i - 1] + secant[i]) / 2.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (secant[i] == 0.0) {
            m_slope[i] = m_slope[i + 1] = 0.0;
            continue;
        }
        const double a = m_slope[i] / secant[i];
        const double b = m_slope[i + 1] / secant[i];
        const double h = a * a + b * b;
        if (h > 9.0) {
            const double t = 3.0 / std::sqrt(h);
            m_slope[i] = t * a * secant[i];
            m_slope[i + 1] = t * b * secant[i];
        }
    }
}

double ToneCurve::operator()(double x) const {
    if (m_x.empty())
        return x;
    if (m_x.size() == 1 || x <= m_x.front())
        return m_y.front();
    if (x >= m_x.back())
        return m_y.back();
    const std::size_t i =
        static_cast<std::size_t>(std::upper_bound(m_x.begin(), m_x.end(), x) - m_x.begin()) - 1;
    const double h = m_x[i + 1] - m_x[i];
    const double t = (x - m_x[i]) / h;
    const double t2 = t * t;
    const double t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * m_y[i] + (t3 - 2 * t2 + t) * h * m_slope[i] +
           (-2 * t3 + 3 * t2) * m_y[i + 1] + (t3 - t2) * h * m_slope[i + 1];
}

double luma(Rgb c) {
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

Rgb clamped(Rgb c) {
    return {std::clamp(c.r, 0.0, 1.0), std::clamp(c.g, 0.0, 1.0), std::clamp(c.b, 0.0, 1.0)};
}

Rgb curve(Rgb c, const ToneCurve& master) {
    return {master(c.r), master(c.g), master(c.b)};
}

Rgb curves(Rgb c, const ToneCurve& red, const ToneCurve& green, const ToneCurve& blue) {
    return {red(c.r), green(c.g), blue(c.b)};
}

Rgb saturate(Rgb c, double amount) {
    const double y = luma(c);
    return clamped({y + (c.r - y) * amount, y + (c.g - y) * amount, y + (c.b - y) * amount});
}

Rgb mixChannels(Rgb c, const double (&m)[3][3]) {
    return clamped({m[0][0] * c.r + m[0][1] * c.g + m[0][2] * c.b,
                    m[1][0] * c.r + m[1][1] * c.g + m[1][2] * c.b,
                    m[2][0] * c.r + m[2][1] * c.g + m[2][2] * c.b});
}

Rgb splitTone(Rgb c, Rgb shadowTint, Rgb highlightTint, double amount) {
    const double y = std::clamp(luma(c), 0.0, 1.0);
    // Weights that vanish at the far end and in the exact middle keep mid-grey neutral.
    const double shadow = (1.0 - y) * (1.0 - y) * amount;
    const double highlight = y * y * amount;
    auto offset = [](double tint, double grey) { return tint - grey; };
    const double sGrey = luma(shadowTint);
    const double hGrey = luma(highlightTint);
    return clamped({c.r + shadow * offset(shadowTint.r, sGrey) + highlight * offset(highlightTint.r, hGrey),
                    c.g + shadow * offset(shadowTint.g, sGrey) + highlight * offset(highlightTint.g, hGrey),
                    c.b + shadow * offset(shadowTint.b, sGrey) + highlight * offset(highlightTint.b, hGrey)});
}

Rgb fade(Rgb c, double blackLevel, double whiteLevel) {
    const double span = whiteLevel - blackLevel;
    return {blackLevel + c.r * span, blackLevel + c.g * span, blackLevel + c.b * span};
}

Rgb gains(Rgb c, Rgb gain) {
    return clamped({c.r * gain.r, c.g * gain.g, c.b * gain.b});
}

Rgb monochrome(Rgb c, Rgb filter) {
    const double y = std::clamp(filter.r * c.r + filter.g * c.g + filter.b * c.b, 0.0, 1.0);
    return {y, y, y};
}

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb tintMidtones(Rgb c, Rgb tint, double amount) {
    const double y = std::clamp(luma(c), 0.0, 1.0);
    const double weight = 4.0 * y * (1.0 - y) * amount;
    const double grey = luma(tint);
    return clamped(
        {c.r + (tint.r - grey) * weight, c.g + (tint.g - grey) * weight, c.b + (tint.b - grey) * weight});
}

} // namespace ResourceArt
