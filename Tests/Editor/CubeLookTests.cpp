#include "EditorTestSupport.h"

#include <Transformation/RUXCubeFile.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace EditorTest;

namespace {

using Colour = std::array<double, 3>;

// The text of a .cube file of size n whose entry (r, g, b) is f(r, g, b), after header lines.
std::string cubeText(int n, const std::function<Colour(int, int, int)>& f, const std::string& header = "") {
    std::ostringstream text;
    text.precision(9);
    text << "# made by the test\n" << header << "LUT_3D_SIZE " << n << "\n\n";
    for (int b = 0; b < n; ++b) {
        for (int g = 0; g < n; ++g) {
            for (int r = 0; r < n; ++r) {
                Colour c = f(r, g, b);
                text << c[0] << ' ' << c[1] << ' ' << c[2] << "\n";
            }
        }
    }
    return text.str();
}

const float* entries(const RUXCubeLookupTable& table) {
    return reinterpret_cast<const float*>(table.data->data());
}

// Deterministic colours that are no simple function of the input, so interpolation faults show.
Colour scrambled(int r, int g, int b) {
    auto hash = [](int x) { return double((x * 2654435761u) % 1000u) / 999.0; };
    return {hash(r * 31 + g * 7 + b * 3 + 1), hash(r * 5 + g * 37 + b * 11 + 2),
            hash(r * 13 + g * 3 + b * 41 + 3)};
}

TEST(CubeFile, ReadsHeaderCommentsAndEntriesRedFastest) {
    const std::string text = cubeText(
        3,
        [](int r, int g, int b) {
            return Colour{r / 2.0, g / 4.0, b / 8.0};
        },
        "TITLE \"Warm # evening\"\r\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 1.0 1 1   # the usual domain\n");
    std::string error;
    auto table = RUXParseCubeFile(text, error);
    ASSERT_TRUE(table) << error;
    EXPECT_EQ(table->title, "Warm # evening");
    EXPECT_EQ(table->dimension, 3);
    ASSERT_EQ(table->data->size(), 27u * 16);
    const float* f = entries(*table);
    // Entry (r, g, b) lies at r + 3g + 9b, alpha 1.
    for (int b = 0; b < 3; ++b) {
        for (int g = 0; g < 3; ++g) {
            for (int r = 0; r < 3; ++r) {
                const float* e = f + 4 * (r + 3 * g + 9 * b);
                EXPECT_FLOAT_EQ(e[0], r / 2.0f);
                EXPECT_FLOAT_EQ(e[1], g / 4.0f);
                EXPECT_FLOAT_EQ(e[2], b / 8.0f);
                EXPECT_EQ(e[3], 1.0f);
            }
        }
    }
}

// A table over a wider domain is resampled onto the unit cube: an identity over 0 … 2 (and one over
// −1 … 1 given as an input range) stays an identity over 0 … 1, wherever the unit cube's nodes fall.
TEST(CubeFile, ResamplesOtherDomainsOntoTheUnitCube) {
    for (const auto& [header, low, high] :
         {std::tuple{std::string("DOMAIN_MIN 0 0 0\nDOMAIN_MAX 2 2 2\n"), 0.0, 2.0},
          std::tuple{std::string("LUT_3D_INPUT_RANGE -1 1\n"), -1.0, 1.0}}) {
        const int n = 9;
        auto identity = [&, low = low, high = high](int r, int g, int b) {
            auto at = [&](int i) { return low + (high - low) * i / (n - 1); };
            return Colour{at(r), at(g), at(b)};
        };
        std::string error;
        auto table = RUXParseCubeFile(cubeText(n, identity, header), error);
        ASSERT_TRUE(table) << error;
        const float* f = entries(*table);
        for (int i = 0; i < n * n * n; ++i) {
            const int node[3] = {i % n, (i / n) % n, i / (n * n)};
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(f[4 * i + c], double(node[c]) / (n - 1), 1e-6) << header << " entry " << i;
            }
        }
    }
}

// Trilinear interpolation of f, an n-point table, at p in its grid units, in double.
Colour trilinear(const std::function<Colour(int, int, int)>& f, int n, const Colour& p) {
    double fraction[3];
    int low[3];
    for (int c = 0; c < 3; ++c) {
        const double q = std::clamp(p[c], 0.0, double(n - 1));
        low[c] = std::min(int(q), n - 2);
        fraction[c] = q - low[c];
    }
    Colour out{};
    for (int corner = 0; corner < 8; ++corner) {
        const int d[3] = {corner & 1, (corner >> 1) & 1, (corner >> 2) & 1};
        double weight = 1;
        for (int c = 0; c < 3; ++c) {
            weight *= d[c] ? fraction[c] : 1 - fraction[c];
        }
        Colour v = f(low[0] + d[0], low[1] + d[1], low[2] + d[2]);
        for (int c = 0; c < 3; ++c) {
            out[c] += weight * v[c];
        }
    }
    return out;
}

// The largest difference, in levels, between the look of table on a photo whose colours reach
// every corner of the cube and reference, which maps a colour of 0 … 1 to the expected one.
int worstLevelError(const std::shared_ptr<const RUXCubeLookupTable>& table,
                    const std::function<Colour(const Colour&)>& reference) {
    RUXUserLookTransformation look("Under test", "", table);
    auto colourAt = [](int x, int y) {
        return Rgba{std::uint8_t(x * 8 + y % 8), std::uint8_t(y * 8 + x % 8),
                    std::uint8_t((x * 7 + y * 11) * 3 % 256), 255};
    };
    RUXImageMetadata metadata;
    auto output = render(look.resultFromImage(makeImage(32, 32, colourAt), metadata));
    if (!output) {
        return 256;
    }
    int worst = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const Rgba in = colourAt(x, y);
            const Colour want = reference({in[0] / 255.0, in[1] / 255.0, in[2] / 255.0});
            Rgba expected{0, 0, 0, 255};
            for (int c = 0; c < 3; ++c) {
                expected[c] = std::uint8_t(std::lround(std::clamp(want[c], 0.0, 1.0) * 255));
            }
            worst = std::max(worst, maxDifference(pixel(*output, x, y), expected));
        }
    }
    return worst;
}

// The engine's sRGB conversions on the way in and out are approximations to within a level, so
// every look below is held to one level of its exact reference.
TEST(CubeLook, MatchesATrilinearReference) {
    const int n = 5;
    std::string error;
    auto table = RUXParseCubeFile(cubeText(n, scrambled), error);
    ASSERT_TRUE(table) << error;
    EXPECT_LE(worstLevelError(
                  table,
                  [&](const Colour& in) {
                      return trilinear(scrambled, n, {in[0] * (n - 1), in[1] * (n - 1), in[2] * (n - 1)});
                  }),
              1);
}

double smoothStep(double x) {
    return x * x * (3 - 2 * x);
}

// A smooth, non-linear look that mixes the channels, as grading tools export them.
Colour graded(double r, double g, double b) {
    return {0.05 + 0.85 * smoothStep(r) + 0.1 * g * b, 0.5 * (g + g * g) * (1 - 0.2 * r) + 0.1 * r,
            0.2 + 0.6 * b * b + 0.2 * r * g};
}

// A 65-point table, larger than the engine's cube, is resampled onto its largest one and still
// renders as the file's own table applied exactly.
TEST(CubeLook, LargerTablesMatchTheirOwnTable) {
    const int n = 65;
    auto entry = [](int r, int g, int b) { return graded(r / 64.0, g / 64.0, b / 64.0); };
    std::string error;
    auto table = RUXParseCubeFile(cubeText(n, entry, "TITLE \"Sixty-five\"\n"), error);
    ASSERT_TRUE(table) << error;
    EXPECT_EQ(table->dimension, kRUXCubeMaxDimension);
    EXPECT_EQ(table->title, "Sixty-five");
    EXPECT_LE(
        worstLevelError(table,
                        [&](const Colour& in) {
                            return trilinear(entry, n, {in[0] * (n - 1), in[1] * (n - 1), in[2] * (n - 1)});
                        }),
        1);
}

// The text of a one-dimensional table of n entries of curves(t), t spanning low … high evenly.
std::string oneDimensionalText(int n, double low, double high, Colour (*curves)(double),
                               std::vector<float>& rgb) {
    std::ostringstream text;
    text.precision(9);
    for (int i = 0; i < n; ++i) {
        const Colour c = curves(low + (high - low) * i / (n - 1));
        text << c[0] << ' ' << c[1] << ' ' << c[2] << "\n";
        for (double v : c) {
            rgb.push_back(float(v));
        }
    }
    return text.str();
}

// A different curve on each channel, one of them falling, over a domain wider than 0 … 1.
Colour curves(double t) {
    return {0.5 + 0.45 * std::sin(2 * (t - 0.5)), 0.1 + 0.4 * t + 0.2 * t * t, 0.8 - 0.5 * t + 0.1 * t * t};
}

// Channel c of the one-dimensional table rgb (n entries over low … high) at x, linear, in double.
double linear(const std::vector<float>& rgb, int n, double low, double high, int c, double x) {
    const double p = std::clamp((x - low) / (high - low) * (n - 1), 0.0, double(n - 1));
    const int i = std::min(int(p), n - 2);
    return rgb[3 * i + c] * (1 - (p - i)) + rgb[3 * (i + 1) + c] * (p - i);
}

// A one-dimensional table alone, its domain given either way the format allows, acts on each
// channel by itself as its own entries say.
TEST(CubeLook, OneDimensionalTablesMatchTheirOwnTable) {
    const int n = 1024;
    const double low = -0.25, high = 1.25;
    for (const std::string header :
         {"LUT_1D_SIZE 1024\nLUT_1D_INPUT_RANGE -0.25 1.25\n",
          "DOMAIN_MIN -0.25 -0.25 -0.25\nDOMAIN_MAX 1.25 1.25 1.25\nLUT_1D_SIZE 1024\n"}) {
        std::vector<float> rgb;
        const std::string text = header + oneDimensionalText(n, low, high, curves, rgb);
        std::string error;
        auto table = RUXParseCubeFile(text, error);
        ASSERT_TRUE(table) << header << error;
        EXPECT_EQ(table->dimension, kRUXCubeMaxDimension);
        EXPECT_LE(worstLevelError(table,
                                  [&](const Colour& in) {
                                      Colour out{};
                                      for (int c = 0; c < 3; ++c) {
                                          out[c] = linear(rgb, n, low, high, c, in[c]);
                                      }
                                      return out;
                                  }),
                  1)
            << header;
    }
    // Two entries make a straight line, which a cube of the same size holds exactly.
    std::string error;
    auto straight = RUXParseCubeFile("LUT_1D_SIZE 2\n0.2 0.1 1\n0.8 0.9 0\n", error);
    ASSERT_TRUE(straight) << error;
    EXPECT_EQ(straight->dimension, 2);
    const float* f = entries(*straight);
    EXPECT_FLOAT_EQ(f[4 * 1 + 0], 0.8f); // red at its top, green and blue at their bottom
    EXPECT_FLOAT_EQ(f[4 * 1 + 1], 0.1f);
    EXPECT_FLOAT_EQ(f[4 * 1 + 2], 1.0f);
}

// A shaper: the one-dimensional table on each channel, then the cube on what it gives.
TEST(CubeLook, ShaperBeforeACubeMatchesTheirComposition) {
    const int shaperSize = 1024, n = 33;
    std::vector<float> shaper;
    const std::string shaperText = oneDimensionalText(
        shaperSize, 0, 1,
        [](double t) {
            return Colour{t + 0.5 * t * (1 - t), t * t, 0.5 + 0.5 * t};
        },
        shaper);
    auto entry = [](int r, int g, int b) { return graded(r / 32.0, g / 32.0, b / 32.0); };
    std::string cube = cubeText(n, entry);
    cube = cube.substr(cube.find("LUT_3D_SIZE"));
    cube = cube.substr(cube.find('\n') + 1);
    const std::string text = "TITLE \"Shaped\"\nLUT_1D_SIZE 1024\nLUT_1D_INPUT_RANGE 0 1\nLUT_3D_SIZE 33\n"
                             "LUT_3D_INPUT_RANGE 0 1\n" +
                             shaperText + cube;
    std::string error;
    auto table = RUXParseCubeFile(text, error);
    ASSERT_TRUE(table) << error;
    EXPECT_EQ(table->dimension, kRUXCubeMaxDimension);
    EXPECT_LE(worstLevelError(table,
                              [&](const Colour& in) {
                                  Colour p{};
                                  for (int c = 0; c < 3; ++c) {
                                      p[c] = linear(shaper, shaperSize, 0, 1, c, in[c]) * (n - 1);
                                  }
                                  return trilinear(entry, n, p);
                              }),
              1);
}

struct BadCube {
    const char* name;
    std::string text;
    const char* message;
};

std::string withEntries(const std::string& header, int count, const std::string& entry = "0.5 0.5 0.5") {
    std::string text = header;
    for (int i = 0; i < count; ++i) {
        text += entry + "\n";
    }
    return text;
}

class MalformedCube : public testing::TestWithParam<BadCube> {};

TEST_P(MalformedCube, IsRefusedWithOneClearError) {
    std::string error;
    EXPECT_FALSE(RUXParseCubeFile(GetParam().text, error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Files, MalformedCube,
    testing::Values(
        BadCube{"ShaperTooFewEntries", withEntries("LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n", 10),
                "LUT_1D_SIZE 3 and LUT_3D_SIZE 2 need 11 entries but the file has 10"},
        BadCube{"ShaperTooManyEntries", withEntries("LUT_1D_SIZE 2\n", 3),
                "line 4: more than the 2 entries LUT_1D_SIZE 2 declares"},
        BadCube{"TooFewEntries", withEntries("LUT_3D_SIZE 2\n", 7), "needs 8 entries but the file has 7"},
        BadCube{"TooManyEntries", withEntries("LUT_3D_SIZE 2\n", 9), "line 10: more than the 8 entries"},
        BadCube{"NaN", withEntries("LUT_3D_SIZE 2\n", 3) + "nan 0 0\n",
                "line 5: 'nan' is not a finite number"},
        BadCube{"NotANumber", withEntries("LUT_3D_SIZE 2\n", 1, "0.1 0,2 0.3"),
                "'0,2' is not a finite number"},
        BadCube{"BeyondFloat", withEntries("LUT_3D_SIZE 2\n", 1, "1e39 0 0"), "not a finite number"},
        BadCube{"TwoNumbers", withEntries("LUT_3D_SIZE 2\n", 1, "0.1 0.2"), "expected three numbers"},
        BadCube{"HugeSize", withEntries("LUT_3D_SIZE 257\n", 1),
                "LUT_3D_SIZE must be a whole number from 2 to 256"},
        BadCube{"Huge1DSize", withEntries("LUT_1D_SIZE 65537\n", 1),
                "LUT_1D_SIZE must be a whole number from 2 to 65536"},
        BadCube{"RangeWithoutItsTable", withEntries("LUT_1D_INPUT_RANGE 0 1\nLUT_3D_SIZE 2\n", 8),
                "LUT_1D_INPUT_RANGE for a table the file does not have"},
        BadCube{"TwoDomains", withEntries("DOMAIN_MAX 1 1 1\nLUT_3D_INPUT_RANGE 0 1\nLUT_3D_SIZE 2\n", 8),
                "line 2: a second input domain"},
        BadCube{"EmptyShaperDomain", withEntries("LUT_1D_SIZE 2\nLUT_1D_INPUT_RANGE 1 1\n", 2),
                "minimum must lie below"},
        BadCube{"FractionalSize", "LUT_3D_SIZE 2.5\n", "whole number"},
        BadCube{"NoSize", "TITLE \"x\"\n", "no LUT_1D_SIZE or LUT_3D_SIZE"},
        BadCube{"NumbersFirst", withEntries("", 1) + "LUT_3D_SIZE 2\n",
                "numbers before LUT_1D_SIZE or LUT_3D_SIZE"},
        BadCube{"KeywordAfterData", withEntries("LUT_3D_SIZE 2\n", 8) + "TITLE \"late\"\n",
                "after the table"},
        BadCube{"UnknownKeyword", withEntries("LUT_3D_SIZE 2\nGAMMA 2.2\n", 8), "unknown keyword 'GAMMA'"},
        BadCube{"SecondSize", withEntries("LUT_3D_SIZE 2\nLUT_3D_SIZE 2\n", 8), "a second LUT_3D_SIZE"},
        BadCube{"EmptyDomain", withEntries("LUT_3D_SIZE 2\nDOMAIN_MIN 0 0.5 0\nDOMAIN_MAX 1 0.5 1\n", 8),
                "minimum must lie below"}),
    [](const testing::TestParamInfo<BadCube>& info) { return std::string(info.param.name); });

// Made here, not among the cases above: every process of the suite builds those cases as it starts.
TEST(CubeLook, AnOversizedFileIsRefusedUnread) {
    std::string error;
    EXPECT_FALSE(RUXParseCubeFile(std::string(kRUXCubeFileMaxBytes + 1, '#'), error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

// A look from a file is named by its TITLE, else its file name; a refused or missing file makes none.
TEST(CubeLook, LoadsFromAFile) {
    const auto directory =
        std::filesystem::temp_directory_path() / ("rux-cube-tests-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const auto titled = directory / "titled.cube", plain = directory / "Plain Film.cube",
               broken = directory / "broken.cube";
    std::ofstream(titled) << cubeText(2, scrambled, "TITLE \"Dusk\"\n");
    std::ofstream(plain) << cubeText(2, scrambled);
    std::ofstream(broken) << "LUT_3D_SIZE 2\n0 0 0\n";

    std::string error;
    auto dusk = RUXUserLookTransformation::createWithCubeFile(titled.string(), "", error);
    ASSERT_TRUE(dusk) << error;
    EXPECT_EQ(dusk->name(), "Dusk");
    EXPECT_EQ(dusk->source(), titled.string());
    EXPECT_EQ(dusk->type(), RUXTransformationTypeFilter);
    auto film = RUXUserLookTransformation::createWithCubeFile(plain.string(), "", error);
    ASSERT_TRUE(film);
    EXPECT_EQ(film->name(), "Plain Film");
    EXPECT_EQ(RUXUserLookTransformation::createWithCubeFile(plain.string(), "Mine", error)->name(), "Mine");

    EXPECT_FALSE(RUXUserLookTransformation::createWithCubeFile(broken.string(), "", error));
    EXPECT_NE(error.find("broken.cube: LUT_3D_SIZE 2 needs 8 entries"), std::string::npos) << error;
    EXPECT_FALSE(
        RUXUserLookTransformation::createWithCubeFile((directory / "missing.cube").string(), "", error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
    std::filesystem::remove_all(directory);
}

} // namespace
