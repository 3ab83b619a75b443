#include "EditorTestSupport.h"

#include <Transformation/RUXCubeFile.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXUserLookTransformation.h>
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

// The look against trilinear interpolation computed here on the sRGB-encoded input.
TEST(CubeLook, MatchesATrilinearReference) {
    const int n = 5;
    std::string error;
    auto table = RUXParseCubeFile(cubeText(n, scrambled), error);
    ASSERT_TRUE(table) << error;
    RUXUserLookTransformation look("Scrambled", "", table);

    auto colourAt = [](int x, int y) {
        return Rgba{std::uint8_t(x * 17), std::uint8_t(y * 17), std::uint8_t((x * 7 + y * 11) % 256), 255};
    };
    auto image = makeImage(16, 16, colourAt);
    RUXImageMetadata metadata;
    auto output = render(look.resultFromImage(image, metadata));
    ASSERT_TRUE(output);

    auto reference = [&](Rgba in) {
        double p[3], fraction[3];
        int low[3];
        for (int c = 0; c < 3; ++c) {
            p[c] = in[c] / 255.0 * (n - 1);
            low[c] = std::min(int(p[c]), n - 2);
            fraction[c] = p[c] - low[c];
        }
        Colour out{};
        for (int corner = 0; corner < 8; ++corner) {
            const int d[3] = {corner & 1, (corner >> 1) & 1, (corner >> 2) & 1};
            double weight = 1;
            for (int c = 0; c < 3; ++c) {
                weight *= d[c] ? fraction[c] : 1 - fraction[c];
            }
            Colour v = scrambled(low[0] + d[0], low[1] + d[1], low[2] + d[2]);
            for (int c = 0; c < 3; ++c) {
                out[c] += weight * v[c];
            }
        }
        return Rgba{std::uint8_t(std::lround(out[0] * 255)), std::uint8_t(std::lround(out[1] * 255)),
                    std::uint8_t(std::lround(out[2] * 255)), 255};
    };
    int worst = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            worst = std::max(worst, maxDifference(pixel(*output, x, y), reference(colourAt(x, y))));
        }
    }
    // The engine's sRGB conversions on the way in and out are approximations to within a level.
    EXPECT_LE(worst, 1);
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
        BadCube{"OneDimensional", withEntries("LUT_1D_SIZE 4\n", 4), "one-dimensional"},
        BadCube{"TooFewEntries", withEntries("LUT_3D_SIZE 2\n", 7), "needs 8 entries but the file has 7"},
        BadCube{"TooManyEntries", withEntries("LUT_3D_SIZE 2\n", 9), "line 10: more than the 8 entries"},
        BadCube{"NaN", withEntries("LUT_3D_SIZE 2\n", 3) + "nan 0 0\n",
                "line 5: 'nan' is not a finite number"},
        BadCube{"NotANumber", withEntries("LUT_3D_SIZE 2\n", 1, "0.1 0,2 0.3"),
                "'0,2' is not a finite number"},
        BadCube{"BeyondFloat", withEntries("LUT_3D_SIZE 2\n", 1, "1e39 0 0"), "not a finite number"},
        BadCube{"TwoNumbers", withEntries("LUT_3D_SIZE 2\n", 1, "0.1 0.2"), "expected three numbers"},
        BadCube{"HugeSize", withEntries("LUT_3D_SIZE 65\n", 1), "from 2 to 64"},
        BadCube{"FractionalSize", "LUT_3D_SIZE 2.5\n", "whole number"},
        BadCube{"NoSize", "TITLE \"x\"\n", "no LUT_3D_SIZE"},
        BadCube{"NumbersFirst", withEntries("", 1) + "LUT_3D_SIZE 2\n", "numbers before LUT_3D_SIZE"},
        BadCube{"KeywordAfterData", withEntries("LUT_3D_SIZE 2\n", 8) + "TITLE \"late\"\n",
                "after the table"},
        BadCube{"UnknownKeyword", withEntries("LUT_3D_SIZE 2\nGAMMA 2.2\n", 8), "unknown keyword 'GAMMA'"},
        BadCube{"SecondSize", withEntries("LUT_3D_SIZE 2\nLUT_3D_SIZE 2\n", 8), "a second LUT_3D_SIZE"},
        BadCube{"EmptyDomain", withEntries("LUT_3D_SIZE 2\nDOMAIN_MIN 0 0.5 0\nDOMAIN_MAX 1 0.5 1\n", 8),
                "minimum must lie below"},
        BadCube{"Oversized", std::string(kRUXCubeFileMaxBytes + 1, '#'), "larger than"}),
    [](const testing::TestParamInfo<BadCube>& info) { return std::string(info.param.name); });

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
