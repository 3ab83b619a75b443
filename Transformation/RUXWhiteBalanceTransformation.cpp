#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXWhiteBalanceTransformation.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXWhiteBalanceTransformation)

namespace {

using Matrix = std::array<double, 9>;
using Vector3 = std::array<double, 3>;

constexpr double kLowestTemperature = 1667;
constexpr double kHighestTemperature = 100000;
constexpr double kSliderLowestTemperature = 2000;
constexpr double kSliderHighestTemperature = 50000;
constexpr double kSliderTint = 150;
constexpr double kTintPerDuv = -3000;
// The working space's white, which the edit adapts to.
constexpr RUXChromaticity kD65{0.3127, 0.3290};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            m[i * 3 + j] = a[i * 3] * b[j] + a[i * 3 + 1] * b[3 + j] + a[i * 3 + 2] * b[6 + j];
        }
    }
    return m;
}

Vector3 multiply(const Matrix& a, const Vector3& v) {
    return {a[0] * v[0] + a[1] * v[1] + a[2] * v[2], a[3] * v[0] + a[4] * v[1] + a[5] * v[2],
            a[6] * v[0] + a[7] * v[1] + a[8] * v[2]};
}

Matrix inverse(const Matrix& m) {
    const double c0 = m[4] * m[8] - m[5] * m[7], c1 = m[5] * m[6] - m[3] * m[8],
                 c2 = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * c0 + m[1] * c1 + m[2] * c2;
    return {c0 / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
            c1 / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
            c2 / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det};
}

// XYZ of a chromaticity at luminance 1.
Vector3 tristimulus(RUXChromaticity c) {
    return {c.x / c.y, 1.0, (1.0 - c.x - c.y) / c.y};
}

// Linear sRGB to XYZ, made from the primaries and the white so that (1, 1, 1) is D65 exactly.
const Matrix& rgbToXyz() {
    static const Matrix m = [] {
        const RUXChromaticity primaries[3] = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}};
        Matrix p{};
        for (int i = 0; i < 3; ++i) {
            const Vector3 t = tristimulus(primaries[i]);
            p[i] = t[0], p[3 + i] = t[1], p[6 + i] = t[2];
        }
        const Vector3 scale = multiply(inverse(p), tristimulus(kD65));
        for (int row = 0; row < 3; ++row) {
            for (int i = 0; i < 3; ++i) {
                p[row * 3 + i] *= scale[i];
            }
        }
        return p;
    }();
    return m;
}

constexpr Matrix kBradford{0.8951, 0.2664, -0.1614, -0.7502, 1.7135, 0.0367, 0.0389, -0.0685, 1.0296};

// The Planckian locus by Kim et al.'s cubic splines (valid 1667 … 25000 K; beyond, the same
// formula carries on smoothly towards the locus's end).
// The pieces are chosen by the temperature `piece`, so that a difference taken about one
// temperature never mixes two pieces.
RUXChromaticity planckian(double t, double piece) {
    const double i1 = 1.0 / t, i2 = i1 * i1, i3 = i2 * i1;
    const double x = piece <= 4000 ? -0.2661239e9 * i3 - 0.2343589e6 * i2 + 0.8776956e3 * i1 + 0.179910
                                   : -3.0258469e9 * i3 + 2.1070379e6 * i2 + 0.2226347e3 * i1 + 0.240390;
    double y;
    if (piece <= 2222) {
        y = -1.1063814 * x * x * x - 1.34811020 * x * x + 2.18555832 * x - 0.20219683;
    } else if (piece <= 4000) {
        y = -0.9549476 * x * x * x - 1.37418593 * x * x + 2.09137015 * x - 0.16748867;
    } else {
        y = 3.0817580 * x * x * x - 5.87338670 * x * x + 3.75112997 * x - 0.37001483;
    }
    return {x, y};
}

// The CIE daylight locus (the D illuminants' chromaticity formula).
RUXChromaticity daylight(double t) {
    const double i1 = 1.0 / t, i2 = i1 * i1, i3 = i2 * i1;
    const double x = t <= 7000 ? -4.6070e9 * i3 + 2.9678e6 * i2 + 0.09911e3 * i1 + 0.244063
                               : -2.0064e9 * i3 + 1.9018e6 * i2 + 0.24748e3 * i1 + 0.237040;
    return {x, -3.0 * x * x + 2.87 * x - 0.275};
}

struct Uv {
    double u = 0;
    double v = 0;
};

Uv uvOf(RUXChromaticity c) {
    const double d = -2.0 * c.x + 12.0 * c.y + 3.0;
    return {4.0 * c.x / d, 6.0 * c.y / d};
}

RUXChromaticity chromaticityOf(Uv p) {
    const double d = 2.0 * p.u - 8.0 * p.v + 4.0;
    return {3.0 * p.u / d, 2.0 * p.v / d};
}

// The white at tint 0, and the unit normal to the Planckian locus at the same temperature, pointing
// to positive Duv (towards green).
struct LocusPoint {
    Uv white;
    Uv normal;
};

LocusPoint locusPoint(double temperature) {
    const double t = std::clamp(temperature, kLowestTemperature, kHighestTemperature);
    const Uv white = uvOf(t >= 4000 ? daylight(t) : planckian(t, t));
    // The tangent by a central difference in mired, where the locus is evenly paced.
    const double mired = 1e6 / t, step = 0.05;
    const Uv a = uvOf(planckian(1e6 / (mired + step), t)), b = uvOf(planckian(1e6 / (mired - step), t));
    const double du = b.u - a.u, dv = b.v - a.v, length = std::hypot(du, dv);
    // Along rising temperature u falls, so (dv, −du) points to rising v: above the locus.
    return {white, {dv / length, -du / length}};
}

// A white the adaptation can take: a colour inside the chromaticity diagram whose every cone
// response is at least a twentieth of D65's, so that no channel is multiplied by more than twenty.
bool isUsableWhite(RUXChromaticity c) {
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || c.x <= 0 || c.y <= 0 || c.x + c.y >= 1) {
        return false;
    }
    const Vector3 cone = multiply(kBradford, tristimulus(c)), d65 = multiply(kBradford, tristimulus(kD65));
    for (int i = 0; i < 3; ++i) {
        if (cone[i] < d65[i] / 20) {
            return false;
        }
    }
    return true;
}

// How far p lies along the locus from the line through the white at this temperature in the
// normal's direction; zero where that temperature's white line passes through p.
double offLine(const LocusPoint& l, Uv p) {
    return (p.u - l.white.u) * l.normal.v - (p.v - l.white.v) * l.normal.u;
}

} // namespace

RUXChromaticity RUXWhiteOfTemperature(double temperature, double tint) {
    const LocusPoint l = locusPoint(temperature);
    const double duv = tint / kTintPerDuv;
    auto moved = [&](double fraction) {
        return chromaticityOf(
            {l.white.u + fraction * duv * l.normal.u, l.white.v + fraction * duv * l.normal.v});
    };
    if (!std::isfinite(duv) || isUsableWhite(moved(1))) {
        return moved(1);
    }
    // The strongest tints at the ends of the temperature range leave the colours there are (a green
    // 2000 K white has no blue cone response left); the move stops at the last usable white.
    double usable = 0, unusable = 1;
    for (int i = 0; i < 40; ++i) {
        const double middle = 0.5 * (usable + unusable);
        (isUsableWhite(moved(middle)) ? usable : unusable) = middle;
    }
    return moved(usable);
}

std::optional<std::array<double, 9>> RUXWhiteBalanceMatrix(double temperature, double tint) {
    if (!std::isfinite(temperature) || !std::isfinite(tint)) {
        return std::nullopt;
    }
    const RUXChromaticity white = RUXWhiteOfTemperature(temperature, tint);
    if (!isUsableWhite(white)) {
        return std::nullopt;
    }
    // Cone responses of the photo's white and of D65, both at luminance 1.
    const Vector3 from = multiply(kBradford, tristimulus(white));
    const Vector3 to = multiply(kBradford, tristimulus(kD65));
    const Matrix gains{to[0] / from[0], 0, 0, 0, to[1] / from[1], 0, 0, 0, to[2] / from[2]};
    const Matrix adapt = multiply(inverse(kBradford), multiply(gains, kBradford));
    const Matrix m = multiply(inverse(rgbToXyz()), multiply(adapt, rgbToXyz()));
    for (double entry : m) {
        if (!std::isfinite(entry)) {
            return std::nullopt;
        }
    }
    return m;
}

std::optional<RUXWhiteBalanceSetting> RUXWhiteBalanceSettingForColor(double red, double green, double blue) {
    if (!std::isfinite(red) || !std::isfinite(green) || !std::isfinite(blue) || red < 0 || green < 0 ||
        blue < 0 || red + green + blue <= 0) {
        return std::nullopt;
    }
    const Vector3 xyz = multiply(rgbToXyz(), Vector3{red, green, blue});
    const double sum = xyz[0] + xyz[1] + xyz[2];
    const Uv p = uvOf({xyz[0] / sum, xyz[1] / sum});

    // Walk the sliders' range evenly in mired for the temperatures whose white line passes through
    // the colour. The white jumps from one locus to the other at 4000 K, so each side is walked on
    // its own and there may be a crossing on each; the one needing less tint wins. Each walk reaches
    // a step past the range's end, so that a white at the very end is crossed too.
    const int steps = 4800;
    const double jump = 1e6 / 4000, step = (1e6 / kSliderLowestTemperature - jump) / steps;
    auto lineAt = [&](double mired) { return offLine(locusPoint(1e6 / mired), p); };
    auto tintAt = [&](double mired) {
        const LocusPoint l = locusPoint(1e6 / mired);
        return kTintPerDuv * ((p.u - l.white.u) * l.normal.u + (p.v - l.white.v) * l.normal.v);
    };
    // A setting within the sliders' ranges, and how far its white misses the colour.
    auto settingAt = [&](double mired) {
        return RUXWhiteBalanceSetting{
            std::clamp(1e6 / mired, kSliderLowestTemperature, kSliderHighestTemperature),
            std::clamp(tintAt(mired), -kSliderTint, kSliderTint)};
    };
    auto missOf = [&](const RUXWhiteBalanceSetting& s) {
        const Uv w = uvOf(RUXWhiteOfTemperature(s.temperature, s.tint));
        return std::hypot(w.u - p.u, w.v - p.v);
    };
    // The setting whose white is the colour (to rounding) with the least tint, else the nearest.
    std::optional<RUXWhiteBalanceSetting> best;
    double bestMissed = 0;
    auto consider = [&](double mired) {
        const RUXWhiteBalanceSetting s = settingAt(mired);
        const double missed = missOf(s) > 1e-9 ? missOf(s) : 0;
        if (!best || missed < bestMissed ||
            (missed == bestMissed && std::abs(s.tint) < std::abs(best->tint))) {
            best = s, bestMissed = missed;
        }
    };
    double bestMired = jump, bestMiss = std::abs(lineAt(jump));
    auto walk = [&](double from, double to) {
        double previousMired = from, previous = lineAt(from);
        const int n = int(std::ceil(std::abs(to - from) / step));
        for (int i = 1; i <= n; ++i) {
            const double mired = from + (to - from) * i / n;
            const double value = lineAt(mired);
            if (std::abs(value) < bestMiss) {
                bestMiss = std::abs(value), bestMired = mired;
            }
            if ((previous <= 0) != (value <= 0)) {
                // Bisection: the crossing to well below a thousandth of a mired.
                double a = previousMired, b = mired, fa = previous;
                for (int k = 0; k < 40; ++k) {
                    const double m = 0.5 * (a + b), fm = lineAt(m);
                    if ((fm <= 0) == (fa <= 0)) {
                        a = m, fa = fm;
                    } else {
                        b = m;
                    }
                }
                consider(0.5 * (a + b));
            }
            previousMired = mired, previous = value;
        }
    };
    // Daylight from 4000 K up (mired at most 250), the Planckian locus below.
    walk(jump, 1e6 / kSliderHighestTemperature - step);
    walk(std::nextafter(jump, 1e6), 1e6 / kSliderLowestTemperature + step);
    // Without a crossing, the temperature whose white line passes nearest the colour.
    consider(bestMired);
    return best;
}

const RUXTransformationDeclaration& RUXWhiteBalanceTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeWithCode(9);
        d.sortOrder = 0.991;
        d.family = RUXEditFamily::Colour;
        // Documents of version 1 may not hold it.
        d.recipeVersion = 2;
        auto finite = [](const RUXParameterValue& v) -> std::string {
            return std::isfinite(v.numbers.at(0)) ? "" : "is not a finite number";
        };
        RUXParameter temperature;
        temperature.key = std::string("temperature");
        temperature.kind = RUXParameterKind::Scalar;
        temperature.minValue = kSliderLowestTemperature;
        temperature.maxValue = kSliderHighestTemperature;
        temperature.neutralValue = kNeutralTemperature;
        temperature.unit = std::string("kelvin");
        temperature.mapping = RUXSliderMapping::Mired;
        temperature.flag = std::string("--temperature");
        temperature.flagValue = std::string("K");
        temperature.flagTakes = std::string("a temperature in kelvin above 0");
        temperature.help =
            std::string("takes the light's colour temperature in kelvin, 2000..50000 (6504 is none).");
        temperature.flagAccepts = [](const std::vector<double>& n) { return n.at(0) > 0; };
        temperature.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            return RUXParameterValue{{static_cast<const RUXWhiteBalanceTransformation&>(t).temperature()},
                                     {}};
        };
        temperature.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            static_cast<RUXWhiteBalanceTransformation&>(t).setTemperature(v.numbers.at(0));
        };
        temperature.check = [finite](const RUXParameterValue& v) -> std::string {
            const std::string problem = finite(v);
            return !problem.empty() ? problem : v.numbers.at(0) > 0 ? "" : "is not above 0 kelvin";
        };
        RUXParameter tint;
        tint.key = std::string("tint");
        tint.kind = RUXParameterKind::Scalar;
        tint.minValue = -kSliderTint;
        tint.maxValue = kSliderTint;
        tint.neutralValue = kNeutralTint;
        tint.unit = std::string("Duv × −3000");
        tint.mapping = RUXSliderMapping::Centred;
        tint.flag = std::string("--tint");
        tint.flagValue = std::string("T");
        tint.flagTakes = std::string("a number");
        tint.help = std::string("takes the light's tint, -150..150: positive was magenta, negative green.");
        tint.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            return RUXParameterValue{{static_cast<const RUXWhiteBalanceTransformation&>(t).tint()}, {}};
        };
        tint.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            static_cast<RUXWhiteBalanceTransformation&>(t).setTint(v.numbers.at(0));
        };
        tint.check = finite;
        d.parameters = {std::move(temperature), std::move(tint)};
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr RUXWhiteBalanceTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                     RUXImageMetadata&) {
    const RUXWhiteBalanceSetting s = setting();
    if (s.temperature == kNeutralTemperature && s.tint == kNeutralTint) {
        return image;
    }
    const std::optional<std::array<double, 9>> matrix = RUXWhiteBalanceMatrix(s.temperature, s.tint);
    if (!matrix) {
        Foundation::log("White balance of %g K, tint %g gives no usable white; the adjustment is skipped",
                        s.temperature, s.tint);
        return image;
    }
    float entries[9];
    std::copy(matrix->begin(), matrix->end(), entries);
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(sizeof entries);
    std::memcpy(bytes->data(), entries, sizeof entries);
    return RUXFilterOutput(
        RUXFilterName::colorMatrix,
        {{RUXFilterKey::image, image}, {RUXFilterKey::colorMatrix, ImageEngine::Data(bytes)}});
}

RUXTransformationPtr RUXWhiteBalanceTransformation::copy() const {
    auto result = std::make_shared<RUXWhiteBalanceTransformation>();
    result->setSetting(setting());
    return result;
}

double RUXWhiteBalanceTransformation::temperature() const {
    std::lock_guard lock(m_mutex);
    return m_setting.temperature;
}

void RUXWhiteBalanceTransformation::setTemperature(double temperature) {
    std::lock_guard lock(m_mutex);
    m_setting.temperature = temperature;
}

double RUXWhiteBalanceTransformation::tint() const {
    std::lock_guard lock(m_mutex);
    return m_setting.tint;
}

void RUXWhiteBalanceTransformation::setTint(double tint) {
    std::lock_guard lock(m_mutex);
    m_setting.tint = tint;
}

RUXWhiteBalanceSetting RUXWhiteBalanceTransformation::setting() const {
    std::lock_guard lock(m_mutex);
    return m_setting;
}

void RUXWhiteBalanceTransformation::setSetting(RUXWhiteBalanceSetting setting) {
    std::lock_guard lock(m_mutex);
    m_setting = setting;
}
