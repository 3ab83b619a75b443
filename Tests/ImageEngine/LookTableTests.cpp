// The colour table a look is made of, against its formula in double precision over a dense sample of
// every colour: the table is kept as 16-bit steps of each channel's range, the sRGB curve around it
// is a rational fit, and the largest difference those make to a byte is pinned here. Tables whose
// range is too wide for 16-bit steps take the float table, and are held to the same bound. Each
// instruction set gives the portable fallback's picture.
#include "ImageEngine/Support.h"
#include "ImageEngine/TargetComparison.h"
#include "Pipeline/Simd.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <string>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

// 2^20 colours: every red and green level, each pair with 16 blue levels spread over the whole range,
// and every 16th row translucent.
constexpr int kSide = 1024;

std::shared_ptr<Graphics::Bitmap> everyColourBitmap() {
    auto bitmap = Graphics::Bitmap::create(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int straight[3] = {x & 255, y & 255, ((y >> 8) * 4 + (x >> 8)) * 16 + (x * 7 + y * 3) % 16};
            const int alpha = y % 16 == 15 ? 77 : 255;
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(std::lround(straight[c] * alpha / 255.0));
            p[3] = static_cast<std::uint8_t>(alpha);
        }
    return bitmap;
}

struct TableCase {
    const char* name;
    int dimension;
    Graphics::ColorSpace space;
    // Premultiplied RGBA of the entry at the grid point (r, g, b), each in [0, 1].
    std::function<std::array<double, 4>(double r, double g, double b)> entry;
};

void PrintTo(const TableCase& tableCase, std::ostream* os) {
    *os << tableCase.name;
}

std::vector<float> tableOf(const TableCase& tableCase) {
    std::vector<float> floats;
    const int n = tableCase.dimension;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r)
                for (double v : tableCase.entry(r / (n - 1.0), g / (n - 1.0), b / (n - 1.0)))
                    floats.push_back(static_cast<float>(v));
    return floats;
}

ImagePtr withTable(const ImagePtr& image, const TableCase& tableCase, const std::vector<float>& table) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(table.size() * sizeof(float));
    std::memcpy(bytes->data(), table.data(), bytes->size());
    return apply("CIColorCubeWithColorSpace", {{"inputImage", image},
                                               {"inputCubeDimension", double(tableCase.dimension)},
                                               {"inputCubeData", Data(bytes)},
                                               {"inputColorSpace", tableCase.space}});
}

double signedDecode(double v) {
    return v < 0 ? -decode(-v) : decode(v);
}

// Where a stored (colour, alpha) pair lands in the table's space: its straight colour, decoded, and
// encoded again for a table of encoded colour. Indexed by alpha × 256 + colour.
std::vector<double> positionsIn(Graphics::ColorSpace space) {
    std::vector<double> positions(256 * 256, 0.0);
    for (int a = 1; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            const double linear = decode(std::min(1.0, static_cast<double>(c) / a));
            positions[a * 256 + c] = space == Graphics::ColorSpace::LinearSRGB ? linear : encode(linear);
        }
    return positions;
}

// The bytes the table's formula gives for a stored pixel: straight colour, clamped, in the table's
// space, looked up trilinearly, back to linear, premultiplied by both alphas, encoded.
std::array<double, 4> expectedBytes(const TableCase& tableCase, const std::vector<float>& table,
                                    const std::vector<double>& positions, const std::uint8_t* stored) {
    const bool encoded = tableCase.space != Graphics::ColorSpace::LinearSRGB;
    const double alpha = stored[3] / 255.0;
    std::array<double, 3> position{};
    for (int c = 0; c < 3; ++c)
        position[c] = positions[stored[3] * 256 + stored[c]];
    std::array<double, 4> looked{};
    for (int c = 0; c < 4; ++c)
        looked[c] = trilinear(table, tableCase.dimension, position, c);
    const double outAlpha = looked[3] * alpha;
    std::array<double, 4> bytes{};
    for (int c = 0; c < 3; ++c) {
        const double straight = looked[3] > 0 ? looked[c] / looked[3] : 0.0;
        const double linear = encoded ? signedDecode(straight) : straight;
        bytes[c] = encode(std::clamp(linear, 0.0, 1.0)) * outAlpha * 255;
    }
    bytes[3] = outAlpha * 255;
    return bytes;
}

class LookTableTest : public testing::TestWithParam<TableCase> {};

// Every byte is the formula's value rounded, or the other neighbour when that value lies within 0.05
// of halfway: float arithmetic rounds a few values near halfway the other way, and the 16-bit table
// and the fitted curves add about a hundredth of a level to that (the largest distance measured is
// 0.508). A table kept in 14 bits already reaches 0.64 here.
TEST_P(LookTableTest, EverySampledColourRoundsToANeighbourOfTheFormula) {
    const TableCase& tableCase = GetParam();
    const std::vector<float> table = tableOf(tableCase);
    auto bitmap = everyColourBitmap();
    auto output = withTable(imageOf(bitmap), tableCase, table);
    ASSERT_TRUE(output);
    auto rendered = render(output, Rect(0, 0, kSide, kSide));
    ASSERT_TRUE(rendered);
    const std::vector<double> positions = positionsIn(tableCase.space);
    double worst = 0;
    int worstX = 0, worstRow = 0;
    for (int row = 0; row < kSide; ++row)
        for (int x = 0; x < kSide; ++x) {
            const std::array<double, 4> want =
                expectedBytes(tableCase, table, positions, pixel(*bitmap, x, row));
            for (int c = 0; c < 4; ++c) {
                const double difference = std::abs(pixel(*rendered, x, row)[c] - want[c]);
                if (difference > worst) {
                    worst = difference;
                    worstX = x;
                    worstRow = row;
                }
            }
        }
    EXPECT_LE(worst, 0.55) << "at pixel " << worstX << ", row " << worstRow;
}

// Through a turn and a gamma step, in odd tiles, on a picture whose width leaves a partial vector on
// every target.
TEST_P(LookTableTest, EveryInstructionSetGivesThePortablePictureWithinOneStep) {
    const TableCase& tableCase = GetParam();
    auto image = imageOf(everyColourBitmap())
                     ->imageByCroppingToRect(Rect(200, 240, 45, 40))
                     ->imageByApplyingTransform(Graphics::AffineTransform::makeRotation(M_PI / 2));
    image = apply("CIGammaAdjust", {{"inputImage", image}, {"inputPower", 0.8}});
    image = withTable(image, tableCase, tableOf(tableCase));
    ASSERT_TRUE(image);

    expectSameOnEveryTargetAsPortable(image, image->extent(), 19, 3);
}

// A look of the usual size, curved in every channel and mixing them.
std::array<double, 4> curvedLook(double r, double g, double b) {
    return {0.05 + 0.9 * std::sqrt(r) * (0.8 + 0.2 * g), 0.7 * g * g + 0.3 * b, 0.1 + 0.8 * r * b + 0.1 * g,
            1.0};
}

INSTANTIATE_TEST_SUITE_P(
    Tables, LookTableTest,
    testing::Values(
        TableCase{"Look33", 33, Graphics::ColorSpace::DeviceRGB, curvedLook},
        TableCase{"LinearSpace33", 33, Graphics::ColorSpace::LinearSRGB, curvedLook},
        // The largest cube, and the smallest, which swaps and inverts the channels.
        TableCase{"Look64", 64, Graphics::ColorSpace::DeviceRGB, curvedLook},
        TableCase{"Inverting2", 2, Graphics::ColorSpace::DeviceRGB,
                  [](double r, double g, double b) {
                      return std::array<double, 4>{1 - g, b, 1 - r, 1.0};
                  }},
        // Alpha falling along blue, the colours premultiplied by it.
        TableCase{"Translucent17", 17, Graphics::ColorSpace::DeviceRGB,
                  [](double r, double g, double b) {
                      const double alpha = 1 - 0.6 * b;
                      const std::array<double, 4> look = curvedLook(r, g, b);
                      return std::array<double, 4>{look[0] * alpha, look[1] * alpha, look[2] * alpha, alpha};
                  }},
        // Values far outside [0, 1], beyond what 16-bit steps hold closely: the float table, and
        // the curve's power beyond 1 and for negative values.
        TableCase{"WideRange33", 33, Graphics::ColorSpace::DeviceRGB,
                  [](double r, double g, double b) {
                      return std::array<double, 4>{6 * r - 2.5, 1.5 * g * g - 0.2, 0.5 + 0.3 * b, 1.0};
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
