// Every pixel of busy, partly translucent images through each per-pixel filter, against the
// filter's formula worked out in double precision. The widths are not multiples of any vector
// width, so whole vectors and the leftover lanes are both checked.
#include "ImageEngine/Support.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

constexpr int kWidth = 37, kHeight = 4;

// Straight linear colour and alpha, as the formulas see a pixel.
struct Straight {
    std::array<double, 3> rgb;
    double alpha;
};

// A busy bitmap, one alpha per row (opaque, mostly opaque, half, faint), colours stored
// premultiplied as the bitmap format wants.
std::shared_ptr<Graphics::Bitmap> busyBitmap(int seed) {
    static const std::uint8_t alphas[kHeight] = {255, 200, 128, 40};
    auto bitmap = Graphics::Bitmap::create(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            const int a = alphas[y];
            for (int c = 0; c < 3; ++c) {
                int straight = (x * (29 + 10 * c) + y * 71 + seed * 53 + c * 97) % 256;
                p[c] = static_cast<std::uint8_t>(std::lround(straight * a / 255.0));
            }
            p[3] = static_cast<std::uint8_t>(a);
        }
    return bitmap;
}

// What the engine reads from a stored pixel: straight encoded colour c / a, decoded.
Straight read(const Graphics::Bitmap& bitmap, int x, int row) {
    const std::uint8_t* p = pixel(bitmap, x, row);
    Straight s{};
    s.alpha = p[3] / 255.0;
    for (int c = 0; c < 3; ++c)
        s.rgb[c] = p[3] ? decode(std::min(1.0, static_cast<double>(p[c]) / p[3])) : 0.0;
    return s;
}

// The bytes a straight linear pixel should encode to: sRGB of the clamped colour, premultiplied.
std::array<double, 4> expectedBytes(const Straight& s) {
    const double alpha = std::clamp(s.alpha, 0.0, 1.0);
    std::array<double, 4> bytes{};
    for (int c = 0; c < 3; ++c)
        bytes[c] = encode(std::clamp(s.rgb[c], 0.0, 1.0)) * alpha * 255;
    bytes[3] = alpha * 255;
    return bytes;
}

void expectEveryPixel(const ImagePtr& output, const std::function<Straight(int x, int row)>& formula) {
    ASSERT_TRUE(output);
    EXPECT_EQ(output->extent(), Rect(0, 0, kWidth, kHeight));
    auto bitmap = render(output, Rect(0, 0, kWidth, kHeight));
    ASSERT_TRUE(bitmap);
    for (int row = 0; row < kHeight; ++row)
        for (int x = 0; x < kWidth; ++x) {
            const std::array<double, 4> want = expectedBytes(formula(x, row));
            for (int c = 0; c < 4; ++c)
                ASSERT_NEAR(pixel(*bitmap, x, row)[c], want[c], 1.0)
                    << "pixel " << x << ", row " << row << ", channel " << c;
        }
}

// A table whose trilinear result is worked out here too: curved in every channel, so that the
// interpolation matters, and it mixes the channels.
std::vector<float> curvedTable(int dimension) {
    std::vector<float> floats;
    const double last = dimension - 1;
    for (int b = 0; b < dimension; ++b)
        for (int g = 0; g < dimension; ++g)
            for (int r = 0; r < dimension; ++r) {
                double rf = r / last, gf = g / last, bf = b / last;
                floats.insert(floats.end(), {static_cast<float>(rf * rf), static_cast<float>(std::sqrt(gf)),
                                             static_cast<float>(0.5 * bf + 0.3 * rf * gf), 1.0f});
            }
    return floats;
}

struct ColourCase {
    const char* name;
    std::function<ImagePtr(const ImagePtr&)> build;
    std::function<Straight(const Straight&)> formula;
};

void PrintTo(const ColourCase& colourCase, std::ostream* os) {
    *os << colourCase.name;
}

class ColourOracleTest : public testing::TestWithParam<ColourCase> {};

TEST_P(ColourOracleTest, EveryPixelWithinOneStepOfTheFormula) {
    auto bitmap = busyBitmap(1);
    expectEveryPixel(GetParam().build(imageOf(bitmap)),
                     [&](int x, int row) { return GetParam().formula(read(*bitmap, x, row)); });
}

Straight colorControls(Straight s, double saturation, double brightness, double contrast) {
    const double luma = 0.2125 * s.rgb[0] + 0.7154 * s.rgb[1] + 0.0721 * s.rgb[2];
    for (double& v : s.rgb)
        v = ((luma + (v - luma) * saturation + brightness) - 0.5) * contrast + 0.5;
    return s;
}

const std::vector<float> kCurved = curvedTable(9);

// The curved table with an alpha that falls along blue, its colours premultiplied by it.
std::vector<float> translucentTable(int dimension) {
    std::vector<float> floats = curvedTable(dimension);
    for (std::size_t e = 0; e < floats.size() / 4; ++e) {
        float alpha = 1.0f - 0.6f * static_cast<float>(e / (dimension * dimension)) / (dimension - 1);
        for (int c = 0; c < 3; ++c)
            floats[e * 4 + c] *= alpha;
        floats[e * 4 + 3] = alpha;
    }
    return floats;
}

const std::vector<float> kTranslucent = translucentTable(5);

ImagePtr cubeOf(const ImagePtr& image, const std::vector<float>& table, int dimension,
                Graphics::ColorSpace space) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(table.size() * sizeof(float));
    std::memcpy(bytes->data(), table.data(), bytes->size());
    return apply("CIColorCubeWithColorSpace", {{"inputImage", image},
                                               {"inputCubeDimension", double(dimension)},
                                               {"inputCubeData", Data(bytes)},
                                               {"inputColorSpace", space}});
}

ColourCase exposureCase(const char* name, double ev) {
    return {name,
            [ev](const ImagePtr& image) {
                return apply("CIExposureAdjust", {{"inputImage", image}, {"inputEV", ev}});
            },
            [ev](Straight s) {
                for (double& v : s.rgb)
                    v *= std::exp2(ev);
                return s;
            }};
}

ColourCase gammaCase(const char* name, double power) {
    return {name,
            [power](const ImagePtr& image) {
                return apply("CIGammaAdjust", {{"inputImage", image}, {"inputPower", power}});
            },
            [power](Straight s) {
                for (double& v : s.rgb)
                    v = std::pow(v, power);
                return s;
            }};
}

// Brightness 0 and contrast 1 are left to the filter's defaults.
ColourCase controlsCase(const char* name, double saturation, double brightness = 0, double contrast = 1) {
    return {name,
            [=](const ImagePtr& image) {
                if (brightness == 0 && contrast == 1)
                    return apply("CIColorControls", {{"inputImage", image}, {"inputSaturation", saturation}});
                return apply("CIColorControls", {{"inputImage", image},
                                                 {"inputSaturation", saturation},
                                                 {"inputBrightness", brightness},
                                                 {"inputContrast", contrast}});
            },
            [=](Straight s) { return colorControls(s, saturation, brightness, contrast); }};
}

INSTANTIATE_TEST_SUITE_P(
    Filters, ColourOracleTest,
    testing::Values(
        exposureCase("Exposure", 0.7), exposureCase("ExposureDown", -1.5), gammaCase("Gamma", 0.6),
        gammaCase("GammaLow", 0.25), gammaCase("GammaHigh", 2.25), controlsCase("SaturationOnly", 1.6),
        controlsCase("Grey", 0.0), controlsCase("BrightnessAndContrast", 0.8, 0.1, 1.3),
        ColourCase{
            "CurvedCube",
            [](const ImagePtr& image) { return cubeOf(image, kCurved, 9, Graphics::ColorSpace::DeviceRGB); },
            [](Straight s) {
                std::array<double, 3> encoded{encode(s.rgb[0]), encode(s.rgb[1]), encode(s.rgb[2])};
                for (int c = 0; c < 3; ++c)
                    s.rgb[c] = decode(trilinear(kCurved, 9, encoded, c));
                return s;
            }},
        ColourCase{
            "LinearCube",
            [](const ImagePtr& image) { return cubeOf(image, kCurved, 9, Graphics::ColorSpace::LinearSRGB); },
            [](Straight s) {
                std::array<double, 3> linear = s.rgb;
                for (int c = 0; c < 3; ++c)
                    s.rgb[c] = trilinear(kCurved, 9, linear, c);
                return s;
            }},
        ColourCase{"TranslucentCube",
                   [](const ImagePtr& image) {
                       return cubeOf(image, kTranslucent, 5, Graphics::ColorSpace::DeviceRGB);
                   },
                   [](Straight s) {
                       std::array<double, 3> encoded{encode(s.rgb[0]), encode(s.rgb[1]), encode(s.rgb[2])};
                       const double tableAlpha = trilinear(kTranslucent, 5, encoded, 3);
                       for (int c = 0; c < 3; ++c)
                           s.rgb[c] = decode(trilinear(kTranslucent, 5, encoded, c) / tableAlpha);
                       s.alpha *= tableAlpha;
                       return s;
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// Premultiplied pixels of two busy images combined, against the compositing formulas.
TEST(CompositingOracle, OverlayAndSourceOverOnTranslucentPixels) {
    auto foregroundBitmap = busyBitmap(2), backgroundBitmap = busyBitmap(3);
    auto foreground = imageOf(foregroundBitmap), background = imageOf(backgroundBitmap);
    auto combine = [&](int x, int row, auto blend) {
        Straight s = read(*foregroundBitmap, x, row), b = read(*backgroundBitmap, x, row);
        Straight out{};
        out.alpha = s.alpha + b.alpha - s.alpha * b.alpha;
        for (int c = 0; c < 3; ++c) {
            // Premultiplied result, made straight again for the encoder.
            double premultiplied = blend(s.rgb[c], s.alpha, b.rgb[c], b.alpha);
            out.rgb[c] = out.alpha > 0 ? premultiplied / out.alpha : 0;
        }
        return out;
    };
    auto overlay = [](double sc, double sa, double bc, double ba) {
        double blended = bc <= 0.5 ? 2 * sc * bc : 1 - 2 * (1 - sc) * (1 - bc);
        return (1 - ba) * sc * sa + (1 - sa) * bc * ba + sa * ba * blended;
    };
    expectEveryPixel(
        apply("CIOverlayBlendMode", {{"inputImage", foreground}, {"inputBackgroundImage", background}}),
        [&](int x, int row) { return combine(x, row, overlay); });
    // Over the left half only, one of the two images is missing on the right: the background is left
    // as it is there (the overlay then runs in the background's per-pixel chain), or the foreground
    // shows alone (the output covers the union of the two).
    const double half = kWidth / 2;
    auto leftHalf = [&](const ImagePtr& image) {
        return apply("CICrop",
                     {{"inputImage", image}, {"inputRectangle", Vector::make(0, 0, half, kHeight)}});
    };
    expectEveryPixel(apply("CIOverlayBlendMode",
                           {{"inputImage", leftHalf(foreground)}, {"inputBackgroundImage", background}}),
                     [&](int x, int row) {
                         return x < half ? combine(x, row, overlay) : read(*backgroundBitmap, x, row);
                     });
    expectEveryPixel(apply("CIOverlayBlendMode",
                           {{"inputImage", foreground}, {"inputBackgroundImage", leftHalf(background)}}),
                     [&](int x, int row) {
                         return x < half ? combine(x, row, overlay) : read(*foregroundBitmap, x, row);
                     });
    expectEveryPixel(
        apply("CISourceOverCompositing", {{"inputImage", foreground}, {"inputBackgroundImage", background}}),
        [&](int x, int row) {
            return combine(x, row, [](double sc, double sa, double bc, double ba) {
                return sc * sa + bc * ba * (1 - sa);
            });
        });
}

// A single lit pixel blurred. The expectation comes from what the filter means, a Gaussian whose
// standard deviation is the radius, taken as the continuous normal distribution's share of each
// pixel, not from any table of weights: each output is the probability mass over that pixel's
// square. A kernel sampled at pixel centres and cut off past three deviations differs from this by
// under two percent of the peak at a deviation of 1.8, well within the 1.5 levels allowed; a wrong
// deviation (the radius read as a diameter, or as three deviations) moves the peak by a third.
// The spread of the light is checked too: its variance along each axis is the deviation squared.
TEST(BlurOracle, ImpulseResponseIsTheGaussianOfTheRadius) {
    const int size = 25, centre = 12;
    auto bitmap = solidBitmap(size, size, 0, 0, 0);
    std::memset(bitmap->mutableRow(size - 1 - centre) + centre * 4, 255, 3);
    const double sigma = 1.8;
    auto blurred = apply("CIGaussianBlur", {{"inputImage", imageOf(bitmap)}, {"inputRadius", sigma}});
    auto massOfPixel = [&](int k) {
        auto cumulative = [&](double x) { return 0.5 * (1 + std::erf(x / (sigma * std::sqrt(2.0)))); };
        return cumulative(k + 0.5) - cumulative(k - 0.5);
    };
    // Odd tile sizes put tile edges in the middle of the kernel's reach.
    auto output = render(blurred, Rect(0, 0, size, size), {.tileWidth = 7, .tileHeight = 5, .maxThreads = 2});
    // Within 3⅓ deviations of the lit pixel lies all the light 8 bits can show; farther out, the
    // image's own edge fades to clear.
    const int reach = 6;
    double total = 0, varianceX = 0, varianceY = 0;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const std::uint8_t* p = pixel(*output, centre + dx, size - 1 - (centre + dy));
            ASSERT_NEAR(p[0], encode(massOfPixel(dx) * massOfPixel(dy)) * 255, 1.5) << dx << ", " << dy;
            ASSERT_EQ(p[3], 255);
            const double light = decode(p[0] / 255.0);
            total += light;
            varianceX += light * dx * dx;
            varianceY += light * dy * dy;
        }
    // All the light stays, spread by the deviation (a pixel's own width adds 1/12 to the variance of
    // the light as counted per pixel; 8-bit rounding of the faint tail costs a few percent).
    EXPECT_NEAR(total, 1.0, 0.02);
    EXPECT_NEAR(varianceX / total, sigma * sigma + 1.0 / 12, 0.1 * sigma * sigma);
    EXPECT_NEAR(varianceY / total, sigma * sigma + 1.0 / 12, 0.1 * sigma * sigma);
}

// Scaling, moving by a fraction and turning by an odd angle resample bilinearly about pixel centres.
TEST(AffineOracle, BilinearSamplesAtMappedPixelCentres) {
    auto bitmap = patternBitmap(9, 7);
    auto image = imageOf(bitmap);
    auto linearAt = [&](int x, int y, int c) {
        if (x < 0 || y < 0 || x >= 9 || y >= 7)
            return 0.0;
        return decode(pixel(*bitmap, x, 6 - y)[c] / 255.0);
    };
    const Graphics::AffineTransform transforms[] = {
        Graphics::AffineTransform::makeScale(2.5, 1.75),
        Graphics::AffineTransform::makeTranslation(0.3, -0.6),
        Graphics::AffineTransform::makeRotation(0.4).translated(2, 1),
    };
    for (const auto& transform : transforms) {
        auto mapped = image->imageByApplyingTransform(transform);
        Rect extent = mapped->extent().integral();
        auto output = render(mapped, extent, {.tileWidth = 6, .tileHeight = 5});
        const Graphics::AffineTransform inverse = *transform.inverted();
        for (int row = 0; row < output->height(); row += 2)
            for (int x = 0; x < output->width(); x += 3) {
                Graphics::Point q =
                    inverse.applyToPoint({extent.minX() + x + 0.5, extent.maxY() - 1 - row + 0.5});
                double fx = q.x - 0.5, fy = q.y - 0.5;
                int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
                double wx = fx - x0, wy = fy - y0;
                // Opaque inside, fading to clear outside: alpha interpolates like the colour does.
                double alpha = 0, colour[3] = {0, 0, 0};
                for (int corner = 0; corner < 4; ++corner) {
                    int cx = x0 + (corner & 1), cy = y0 + (corner >> 1);
                    double weight = ((corner & 1) ? wx : 1 - wx) * ((corner >> 1) ? wy : 1 - wy);
                    bool inside = cx >= 0 && cy >= 0 && cx < 9 && cy < 7;
                    alpha += inside ? weight : 0;
                    for (int c = 0; c < 3; ++c)
                        colour[c] += weight * linearAt(cx, cy, c);
                }
                const std::uint8_t* p = pixel(*output, x, row);
                ASSERT_NEAR(p[3], alpha * 255, 1.0) << x << ", " << row;
                for (int c = 0; c < 3 && alpha > 0; ++c)
                    ASSERT_NEAR(p[c], encode(std::min(1.0, colour[c] / alpha)) * alpha * 255, 1.0)
                        << x << ", " << row << " channel " << c;
            }
    }
}

} // namespace
