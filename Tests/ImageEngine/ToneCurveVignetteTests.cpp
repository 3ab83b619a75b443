// The tone curve and the vignette against references computed in double precision from what they
// mean, and their kernels on every compiled instruction set against the portable one.
#include "ImageEngine/Support.h"
#include "Pipeline/Simd.h"

#include <ImageEngine/FilterNames.h>
#include <ImageEngine/ToneCurve.h>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <string>
#include <vector>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

using Points = std::vector<std::pair<double, double>>;

// The largest difference between two pictures' bytes, channel by channel.
int largestDifference(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
    int worst = 0;
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i)
        worst = std::max(worst, std::abs(got[i] - want[i]));
    return worst;
}

// The monotone cubic of Fritsch and Carlson (1980) through points sorted by x, written out from the
// paper's steps: secants, three-point slopes set to zero at extrema, slopes scaled back into the
// circle of radius 3, then cubic Hermite interpolation.
double fritschCarlson(const Points& p, double x) {
    const std::size_t n = p.size();
    std::vector<double> delta(n - 1), m(n);
    for (std::size_t k = 0; k + 1 < n; ++k)
        delta[k] = (p[k + 1].second - p[k].second) / (p[k + 1].first - p[k].first);
    m[0] = delta[0];
    m[n - 1] = delta[n - 2];
    for (std::size_t k = 1; k + 1 < n; ++k)
        m[k] = delta[k - 1] * delta[k] <= 0 ? 0 : (delta[k - 1] + delta[k]) / 2;
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (delta[k] == 0) {
            m[k] = m[k + 1] = 0;
            continue;
        }
        const double a = m[k] / delta[k], b = m[k + 1] / delta[k];
        if (a * a + b * b > 9) {
            const double tau = 3 / std::hypot(a, b);
            m[k] = tau * a * delta[k];
            m[k + 1] = tau * b * delta[k];
        }
    }
    std::size_t k = 0;
    while (k + 2 < n && x > p[k + 1].first)
        ++k;
    const double h = p[k + 1].first - p[k].first, t = (x - p[k].first) / h;
    const double h00 = (1 + 2 * t) * (1 - t) * (1 - t), h10 = t * (1 - t) * (1 - t);
    const double h01 = t * t * (3 - 2 * t), h11 = t * t * (t - 1);
    return h00 * p[k].second + h10 * h * m[k] + h01 * p[k + 1].second + h11 * h * m[k + 1];
}

Data curveData(const Points& points) {
    std::vector<float> numbers;
    for (const auto& [x, y] : points)
        numbers.insert(numbers.end(), {float(x), float(y)});
    auto data = std::make_shared<std::vector<std::uint8_t>>(numbers.size() * sizeof(float));
    if (!numbers.empty())
        std::memcpy(data->data(), numbers.data(), data->size());
    return data;
}

// One row holding every encoded level in each channel (blue runs backwards, green is shifted), and
// a second row of the same levels, opaque.
std::shared_ptr<Graphics::Bitmap> rampBitmap() {
    auto bitmap = Graphics::Bitmap::create(256, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = std::uint8_t(x), p[1] = std::uint8_t((x + 85 * y) % 256), p[2] = std::uint8_t(255 - x);
            p[3] = 255;
        }
    return bitmap;
}

struct CurveCase {
    const char* name;
    Points given;            // as the filter is handed them
    Points complete;         // sorted, with the ends the curve adds
    bool withCubics = false; // gentle enough for segmentCubics()
};

class ToneCurveReference : public testing::TestWithParam<CurveCase> {};

// Every encoded level of every channel lands within one level of the reference curve.
TEST_P(ToneCurveReference, EveryEncodedLevelIsWithinOneLevelOfTheReference) {
    const CurveCase& c = GetParam();
    auto ramp = rampBitmap();
    auto image =
        apply("RUXToneCurve", {{"inputImage", imageOf(ramp)}, {"inputCurvePoints", curveData(c.given)}});
    ASSERT_TRUE(image);
    auto out = render(image, Rect(0, 0, 256, 2));
    ASSERT_TRUE(out);
    int worst = 0;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 256; ++x)
            for (int channel = 0; channel < 3; ++channel) {
                const int in = pixel(*ramp, x, y)[channel];
                const double want = 255 * std::clamp(fritschCarlson(c.complete, in / 255.0), 0.0, 1.0);
                worst = std::max(worst, int(std::ceil(std::abs(pixel(*out, x, y)[channel] - want) - 0.5)));
                EXPECT_EQ(pixel(*out, x, y)[3], 255);
            }
    EXPECT_LE(worst, 1);

    // The table the kernel interpolates stays within its pinned bound of the exact composition.
    const ToneCurve curve = ToneCurve::throughPoints([&] {
        std::vector<ToneCurve::Point> points;
        for (const auto& [x, y] : c.given)
            points.push_back({x, y});
        return points;
    }());
    const std::vector<float> table = curve.linearTable();
    double tableError = 0;
    for (int i = 0; i <= 200000; ++i) {
        // The table is indexed by the square root of the linear input.
        const double root = i / 200000.0, position = root * (ToneCurve::kTableSize - 1);
        const std::size_t base = std::min<std::size_t>(std::size_t(position), ToneCurve::kTableSize - 2);
        const double f = position - double(base);
        const double interpolated = table[base] + f * (table[base + 1] - table[base]);
        const double exact = decode(std::clamp(fritschCarlson(c.complete, encode(root * root)), 0.0, 1.0));
        tableError = std::max(tableError, std::abs(interpolated - exact));
    }
    EXPECT_LE(tableError, 5e-6);

    // The kernel reads the table in half precision: interpolated, it stays within a tenth of an
    // 8-bit step of the exact curve's encoded value.
    const std::vector<std::uint32_t> packed = curve.packedTable();
    ASSERT_EQ(packed.size(), ToneCurve::kTableSize);
    auto half = [](std::uint32_t bits) {
        const int exponent = int(bits >> 10) & 31, mantissa = int(bits & 1023);
        return exponent == 0 ? std::ldexp(mantissa, -24) : std::ldexp(1024 + mantissa, exponent - 25);
    };
    double packedError = 0;
    for (int i = 0; i <= 200000; ++i) {
        const double root = i / 200000.0, position = root * (ToneCurve::kTableSize - 1);
        const std::size_t base = std::min<std::size_t>(std::size_t(position), ToneCurve::kTableSize - 2);
        const double f = position - double(base);
        const double low = half(packed[base] & 0xFFFF), high = half(packed[base] >> 16);
        const double exact = std::clamp(fritschCarlson(c.complete, encode(root * root)), 0.0, 1.0);
        packedError = std::max(packedError, 255 * std::abs(encode(low + f * (high - low)) - exact));
    }
    EXPECT_LE(packedError, 0.1);

    // The cubics wide vectors evaluate instead, when the curve has them, stay within the same bound,
    // both those giving the linear output and those giving the encoded value that a look's table reads.
    auto cubicError = [&](const std::vector<float>& cubics, bool encodedOutput) {
        double error = 0;
        for (int i = 0; i <= 200000 && !cubics.empty(); ++i) {
            const double root = i / 200000.0, position = root * ToneCurve::kCubicSegments;
            const std::size_t k = std::min<std::size_t>(std::size_t(position), ToneCurve::kCubicSegments - 1);
            const float t = float(position - double(k));
            float value = cubics[3 * ToneCurve::kCubicSegments + k];
            for (std::size_t j = 3; j-- > 0;)
                value = value * t + cubics[j * ToneCurve::kCubicSegments + k];
            value = std::clamp(value, 0.0f, 1.0f);
            const double exact = std::clamp(fritschCarlson(c.complete, encode(root * root)), 0.0, 1.0);
            error = std::max(error, 255 * std::abs((encodedOutput ? value : encode(value)) - exact));
        }
        return error;
    };
    const std::vector<float> cubics = curve.segmentCubics(table),
                             encodedCubics = curve.encodedSegmentCubics();
    if (c.withCubics) {
        ASSERT_EQ(cubics.size(), 4 * ToneCurve::kCubicSegments);
        ASSERT_EQ(encodedCubics.size(), 4 * ToneCurve::kCubicSegments);
    }
    EXPECT_LE(cubicError(cubics, false), 0.1);
    EXPECT_LE(cubicError(encodedCubics, true), 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Curves, ToneCurveReference,
    testing::Values(
        CurveCase{"GentleLift", {{0.5, 0.6}}, {{0, 0}, {0.5, 0.6}, {1, 1}}},
        CurveCase{"SteepS", {{0.6, 0.95}, {0.4, 0.05}}, {{0, 0}, {0.4, 0.05}, {0.6, 0.95}, {1, 1}}},
        CurveCase{"RaisedBlackLoweredWhite",
                  {{0, 0.1}, {0.3, 0.25}, {0.7, 0.8}, {1, 0.9}},
                  {{0, 0.1}, {0.3, 0.25}, {0.7, 0.8}, {1, 0.9}},
                  true},
        CurveCase{"Inverted", {{0, 1}, {1, 0}}, {{0, 1}, {1, 0}}, true},
        CurveCase{"GentleS", {{0.25, 0.2}, {0.75, 0.8}}, {{0, 0}, {0.25, 0.2}, {0.75, 0.8}, {1, 1}}, true},
        CurveCase{"FlatShoulder",
                  {{0.2, 0.4}, {0.5, 0.4}, {0.8, 1}},
                  {{0, 0}, {0.2, 0.4}, {0.5, 0.4}, {0.8, 1}, {1, 1}}}),
    [](const testing::TestParamInfo<CurveCase>& info) { return std::string(info.param.name); });

// A steep S stays between its neighbouring points and never turns back, point by point and along the
// rendered ramp.
TEST(ToneCurve, SteepCurveIsMonotoneWithoutOvershoot) {
    const ToneCurve curve = ToneCurve::throughPoints({{0.3, 0.02}, {0.45, 0.1}, {0.55, 0.9}, {0.7, 0.98}});
    const auto& points = curve.points();
    ASSERT_EQ(points.size(), 6u);
    double previous = 0;
    for (int i = 0; i <= 10000; ++i) {
        const double x = i / 10000.0, y = curve.valueAt(x);
        EXPECT_GE(y, previous) << x;
        previous = y;
        auto next = std::upper_bound(points.begin(), points.end(), x,
                                     [](double v, const ToneCurve::Point& p) { return v < p.x; });
        if (next != points.begin() && next != points.end()) {
            EXPECT_GE(y, std::prev(next)->y - 1e-12) << x;
            EXPECT_LE(y, next->y + 1e-12) << x;
        }
    }
    const Data data = curveData({{0.3, 0.02}, {0.45, 0.1}, {0.55, 0.9}, {0.7, 0.98}});
    auto out =
        render(apply("RUXToneCurve", {{"inputImage", imageOf(rampBitmap())}, {"inputCurvePoints", data}}),
               Rect(0, 0, 256, 2));
    ASSERT_TRUE(out);
    for (int x = 1; x < 256; ++x)
        EXPECT_GE(pixel(*out, x, 0)[0], pixel(*out, x - 1, 0)[0]) << x;
}

// The diagonal, however it is written, and a vignette of amount 0 hand the picture on as it is; the
// ends and a duplicate x follow the stated rules; points of the wrong size give no output.
TEST(ToneCurve, NeutralValuesHandThePictureOnAndBadDataIsRefused) {
    auto photo = imageOf(patternBitmap(20, 10));
    for (const Points& diagonal : {Points{}, Points{{0, 0}, {1, 1}}, Points{{0.25, 0.25}, {0.5, 0.5}}}) {
        EXPECT_EQ(apply("RUXToneCurve", {{"inputImage", photo}, {"inputCurvePoints", curveData(diagonal)}}),
                  photo);
    }
    EXPECT_EQ(apply("RUXToneCurve", {{"inputImage", photo}}), photo);
    EXPECT_EQ(
        apply("RUXVignette",
              {{"inputImage", photo}, {"inputRectangle", Vector::make(0, 0, 20, 10)}, {"inputAmount", 0.0}}),
        photo);
    EXPECT_EQ(apply("RUXVignette", {{"inputImage", photo}, {"inputAmount", -0.5}}), photo) << "no frame";

    const ToneCurve curve = ToneCurve::throughPoints({{0.5, 0.2}, {1.5, 0.7}, {0.5, 0.4}, {NAN, 0.1}});
    EXPECT_EQ(curve.points(), (std::vector<ToneCurve::Point>{{0, 0}, {0.5, 0.4}, {1, 0.7}}));
    EXPECT_TRUE(ToneCurve().isIdentity());

    auto odd = std::make_shared<std::vector<std::uint8_t>>(3 * sizeof(float));
    EXPECT_FALSE(apply("RUXToneCurve", {{"inputImage", photo}, {"inputCurvePoints", Data(odd)}}));
}

// What the vignette means, in double precision: a gain of 2^(2A·s) on linear colour, s the smooth step
// of the elliptical distance (1 at the corners) across the band the midpoint and feather place.
double vignetteGain(double u, double v, double amount, double midpoint, double feather) {
    const double distance = std::sqrt(u * u + v * v) / std::sqrt(2.0);
    const double band = feather * std::min(midpoint, 1 - midpoint);
    const double inner = midpoint - band, outer = midpoint + band;
    double s = outer > inner ? std::clamp((distance - inner) / (outer - inner), 0.0, 1.0) : distance > inner;
    s = s * s * (3 - 2 * s);
    return std::exp2(2 * amount * s);
}

struct VignetteCase {
    const char* name;
    double amount, midpoint, feather;
};

class VignetteReference : public testing::TestWithParam<VignetteCase> {};

// At three sizes of one frame, every pixel is the reference at its fraction of the frame, the picture
// is mirror-symmetric, the centre keeps its level and the corners move the way the amount says.
TEST_P(VignetteReference, MatchesTheReferenceSymmetricallyAtEverySize) {
    const VignetteCase& c = GetParam();
    for (int scale : {1, 2, 4}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const int w = 41 * scale, h = 23 * scale;
        auto grey = imageOf(solidBitmap(w, h, 150, 120, 90));
        auto image = apply("RUXVignette", {{"inputImage", grey},
                                           {"inputRectangle", Vector::make(0, 0, w, h)},
                                           {"inputAmount", c.amount},
                                           {"inputMidpoint", c.midpoint},
                                           {"inputFeather", c.feather}});
        auto out = render(image, Rect(0, 0, w, h));
        ASSERT_TRUE(out);
        const int levels[3] = {150, 120, 90};
        int worst = 0, asymmetry = 0;
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x) {
                const double u = (x + 0.5) / w * 2 - 1, v = (row + 0.5) / h * 2 - 1;
                const double gain = vignetteGain(u, v, c.amount, c.midpoint, c.feather);
                for (int channel = 0; channel < 3; ++channel) {
                    const int in = levels[channel];
                    const double want = 255 * std::clamp(encode(decode(in / 255.0) * gain), 0.0, 1.0);
                    const int got = pixel(*out, x, row)[channel];
                    worst = std::max(worst, int(std::ceil(std::abs(got - want) - 0.5)));
                    asymmetry = std::max({asymmetry, std::abs(got - pixel(*out, w - 1 - x, row)[channel]),
                                          std::abs(got - pixel(*out, x, h - 1 - row)[channel])});
                }
            }
        EXPECT_LE(worst, 1);
        EXPECT_LE(asymmetry, 1);
        const std::uint8_t* centre = pixel(*out, w / 2, h / 2);
        EXPECT_NEAR(centre[0], 150, 1);
        const std::uint8_t* corner = pixel(*out, 0, 0);
        if (c.amount < 0)
            EXPECT_LT(corner[0], 140);
        else
            EXPECT_GT(corner[0], 160);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, VignetteReference,
    testing::Values(VignetteCase{"DarkDefault", -0.6, 0.5, 0.5}, VignetteCase{"LightWide", 0.7, 0.4, 1},
                    VignetteCase{"DarkestNarrow", -1, 0.8, 0.2}, VignetteCase{"HardEdge", -0.5, 0.6, 0}),
    [](const testing::TestParamInfo<VignetteCase>& info) { return std::string(info.param.name); });

// A frame as large as a photo's on the screen, where the gain is sampled every few pixels along a row
// and drawn as a line between: a strip along its bottom edge (the corners and the band) stays within
// one level of the reference, the same bytes come out however the picture is cut into tiles, and every
// compiled instruction set gives them.
TEST(Vignette, LargeFrameFollowsTheReferenceAndTilesExactly) {
    const int w = 2400, h = 1600, strip = 6;
    auto grey = imageOf(solidBitmap(w, strip, 150, 120, 90));
    auto image = apply("RUXVignette", {{"inputImage", grey},
                                       {"inputRectangle", Vector::make(0, 0, w, h)},
                                       {"inputAmount", -0.6},
                                       {"inputMidpoint", 0.5},
                                       {"inputFeather", 0.5}});
    const Rect rect(0, 0, w, strip);
    auto out = render(image, rect);
    ASSERT_TRUE(out);
    const int levels[3] = {150, 120, 90};
    int worst = 0;
    for (int row = 0; row < strip; ++row)
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5) / w * 2 - 1, v = (row + 0.5) / h * 2 - 1;
            const double gain = vignetteGain(u, v, -0.6, 0.5, 0.5);
            for (int channel = 0; channel < 3; ++channel) {
                const double want = 255 * encode(decode(levels[channel] / 255.0) * gain);
                worst = std::max(worst, int(std::ceil(std::abs(pixel(*out, x, row)[channel] - want) - 0.5)));
            }
        }
    EXPECT_LE(worst, 1);
    const auto want = bytesOf(*out);
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        auto tiled = render(image, rect, {.tileWidth = 37, .tileHeight = 5});
        ASSERT_TRUE(tiled);
        EXPECT_LE(largestDifference(bytesOf(*tiled), want), 1) << hwy::TargetName(target);
    }
    hwy::SetSupportedTargetsForTest(0);
    auto tiled = render(image, rect, {.tileWidth = 37, .tileHeight = 5});
    ASSERT_TRUE(tiled);
    EXPECT_EQ(bytesOf(*tiled), want);
}

// A look's table (in encoded colour) right after a curve reads the curve's encoded value directly:
// on every compiled instruction set the picture is, within one level, the curve rendered on its own
// and then looked up, on a translucent busy picture.
TEST(ToneCurve, LookAfterTheCurveGivesTheCurveThenTheLook) {
    auto picture = imageOf(patternBitmap(45, 23));
    auto veil = imageOf(solidBitmap(45, 23, 90, 30, 60, 140));
    auto image = apply("CISourceOverCompositing", {{"inputImage", veil}, {"inputBackgroundImage", picture}});
    const Data points = curveData({{0.25, 0.2}, {0.75, 0.8}});
    ASSERT_FALSE(ToneCurve::throughPoints({{0.25, 0.2}, {0.75, 0.8}}).encodedSegmentCubics().empty());
    // Mixes the channels, so that a channel taken from the wrong lane shows.
    constexpr int kDimension = 17;
    std::vector<float> table;
    for (int b = 0; b < kDimension; ++b)
        for (int g = 0; g < kDimension; ++g)
            for (int r = 0; r < kDimension; ++r) {
                const float red = r / float(kDimension - 1), green = g / float(kDimension - 1),
                            blue = b / float(kDimension - 1);
                table.insert(table.end(), {0.7f * red + 0.3f * blue, green, 0.8f * blue + 0.2f * green, 1});
            }
    auto cube = std::make_shared<std::vector<std::uint8_t>>(table.size() * sizeof(float));
    std::memcpy(cube->data(), table.data(), cube->size());
    auto look = [&](const ImagePtr& input) {
        return apply("CIColorCubeWithColorSpace", {{"inputImage", input},
                                                   {"inputCubeDimension", double(kDimension)},
                                                   {"inputCubeData", Data(cube)},
                                                   {"inputColorSpace", Graphics::ColorSpace::DeviceRGB}});
    };
    auto curved = apply("RUXToneCurve", {{"inputImage", image}, {"inputCurvePoints", points}});
    const Rect rect = image->extent();
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        auto alone = render(curved, rect);
        ASSERT_TRUE(alone);
        auto want = render(look(imageOf(alone)), rect);
        auto got = render(look(curved), rect);
        ASSERT_TRUE(want && got);
        EXPECT_LE(largestDifference(bytesOf(*got), bytesOf(*want)), 1) << hwy::TargetName(target);
    }
    hwy::SetSupportedTargetsForTest(0);
}

// Each compiled instruction set gives the portable kernel's bytes within one level, on a busy,
// translucent picture whose width leaves a partial vector on every target and whose frame is offset.
TEST(ToneCurveAndVignette, EveryCompiledInstructionSetGivesThePortablePicture) {
    auto picture = imageOf(patternBitmap(45, 23));
    auto veil = imageOf(solidBitmap(45, 23, 90, 30, 60, 140));
    auto image = apply("CISourceOverCompositing", {{"inputImage", veil}, {"inputBackgroundImage", picture}});
    image = apply("RUXToneCurve", {{"inputImage", image},
                                   {"inputCurvePoints", curveData({{0.2, 0.1}, {0.5, 0.6}, {0.85, 0.9}})}});
    image = apply("RUXVignette", {{"inputImage", image},
                                  {"inputRectangle", Vector::make(-3, 2, 40, 19)},
                                  {"inputAmount", -0.8},
                                  {"inputMidpoint", 0.3},
                                  {"inputFeather", 0.7}});
    ASSERT_TRUE(image);
    const Rect rect = image->extent();
    const std::vector<std::int64_t> targets = hwy::SupportedAndGeneratedTargets();
    ASSERT_GT(targets.size(), 1u) << "only one instruction set: the comparison would prove nothing";
    // The list runs from the widest set to the portable fallback.
    hwy::SetSupportedTargetsForTest(targets.back());
    ASSERT_STREQ(Simd::targetName(), hwy::TargetName(targets.back()));
    auto portable = render(image, rect);
    ASSERT_TRUE(portable);
    const auto want = bytesOf(*portable);
    for (std::int64_t target : targets) {
        hwy::SetSupportedTargetsForTest(target);
        ASSERT_STREQ(Simd::targetName(), hwy::TargetName(target));
        auto bitmap = render(image, rect, {.tileWidth = 19, .tileHeight = 11});
        ASSERT_TRUE(bitmap);
        EXPECT_LE(largestDifference(bytesOf(*bitmap), want), 1) << hwy::TargetName(target);
    }
    hwy::SetSupportedTargetsForTest(0);
}

} // namespace
