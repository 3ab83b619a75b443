// White balance, exposure and vibrance, each checked against its meaning worked out here in double
// precision: grey cards lit by a known light come out grey, exposure scales linear light by 2^EV,
// vibrance leaves greys and saturated primaries alone. Then what every edit owes the editor: the
// neutral value changes no byte, recipes replay it at every resolution and turn, undo and redo.
#include "EditorTestSupport.h"

#include <Foundation/Log.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXExposureTransformation.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXVibranceTransformation.h>
#include <Transformation/RUXWhiteBalanceTransformation.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace EditorTest;

namespace {

// ---- Colour science of the reference, independent of the editor's own ----

using Vector3 = std::array<double, 3>;

double decode(double e) {
    return e <= 0.04045 ? e / 12.92 : std::pow((e + 0.055) / 1.055, 2.4);
}
double encode(double l) {
    return l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
}
std::uint8_t byteOf(double linear) {
    return std::uint8_t(std::lround(255 * encode(std::clamp(linear, 0.0, 1.0))));
}

// XYZ to linear sRGB (IEC 61966-2-1).
Vector3 rgbOfXyz(const Vector3& xyz) {
    return {3.2404542 * xyz[0] - 1.5371385 * xyz[1] - 0.4985314 * xyz[2],
            -0.9692660 * xyz[0] + 1.8760108 * xyz[1] + 0.0415560 * xyz[2],
            0.0556434 * xyz[0] - 0.2040259 * xyz[1] + 1.0572252 * xyz[2]};
}

// Linear sRGB of a chromaticity at luminance y.
Vector3 rgbOfChromaticity(double x, double y, double luminance) {
    return rgbOfXyz({x / y * luminance, luminance, (1 - x - y) / y * luminance});
}

// The Planckian locus in CIE 1960 uv by Krystek's rational fit (1000 … 15000 K), an approximation
// other than the editor's.
std::array<double, 2> planckianUv(double t) {
    return {(0.860117757 + 1.54118254e-4 * t + 1.28641212e-7 * t * t) /
                (1 + 8.42420235e-4 * t + 7.08145163e-7 * t * t),
            (0.317398726 + 4.22806245e-5 * t + 4.20481691e-8 * t * t) /
                (1 - 2.89741816e-5 * t + 1.61456053e-7 * t * t)};
}

std::array<double, 2> xyOfUv(std::array<double, 2> uv) {
    const double d = 2 * uv[0] - 8 * uv[1] + 4;
    return {3 * uv[0] / d, 2 * uv[1] / d};
}

std::array<double, 2> uvOfXy(double x, double y) {
    const double d = -2 * x + 12 * y + 3;
    return {4 * x / d, 6 * y / d};
}

// The CIE D-illuminant chromaticity for 4000 … 25000 K.
std::array<double, 2> daylightXy(double t) {
    const double x = t <= 7000 ? -4.6070e9 / (t * t * t) + 2.9678e6 / (t * t) + 99.11 / t + 0.244063
                               : -2.0064e9 / (t * t * t) + 1.9018e6 / (t * t) + 247.48 / t + 0.237040;
    return {x, -3 * x * x + 2.87 * x - 0.275};
}

// Signed distance in uv from the Planckian locus (positive above it, towards green), found by the
// nearest point of the locus.
double duvOf(double x, double y) {
    const auto p = uvOfXy(x, y);
    double best = 1e9, sign = 1;
    for (double mired = 10; mired <= 1000; mired += 0.05) {
        const auto q = planckianUv(1e6 / mired);
        const double d = std::hypot(p[0] - q[0], p[1] - q[1]);
        if (d < best) {
            best = d, sign = p[1] >= q[1] ? 1 : -1;
        }
    }
    return sign * best;
}

std::shared_ptr<const Graphics::Bitmap> renderEdit(RUXImageTransformation& edit,
                                                   const ImageEngine::ImagePtr& image) {
    RUXImageMetadata metadata;
    return render(edit.resultFromImage(image, metadata));
}

// ---- White balance ----

struct GreyCardCase {
    const char* name;
    double temperature;
    std::array<double, 2> lightXy;
};

class GreyCard : public testing::TestWithParam<GreyCardCase> {};

// A neutral grey lit by the light (its linear colour proportional to the light's), in four
// brightnesses around the photographic 18 % grey, comes out grey within a level once the edit is
// told the light's temperature.
TEST_P(GreyCard, ComesOutNeutral) {
    const GreyCardCase& c = GetParam();
    const double luminances[4] = {0.1, 0.18, 0.3, 0.5};
    auto card = makeImage(4, 1, [&](int x, int) {
        const Vector3 rgb = rgbOfChromaticity(c.lightXy[0], c.lightXy[1], luminances[x]);
        return Rgba{byteOf(rgb[0]), byteOf(rgb[1]), byteOf(rgb[2]), 255};
    });
    RUXWhiteBalanceTransformation balance;
    balance.setTemperature(c.temperature);
    auto bitmap = renderEdit(balance, card);
    ASSERT_TRUE(bitmap);
    for (int x = 0; x < 4; ++x) {
        const Rgba p = pixel(*bitmap, x, 0);
        const Rgba in = pixel(*render(card), x, 0);
        EXPECT_LE(std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}), 1)
            << "luminance " << luminances[x] << ": " << int(p[0]) << " " << int(p[1]) << " " << int(p[2])
            << " from " << int(in[0]) << " " << int(in[1]) << " " << int(in[2]);
        // The white keeps its luminance: the grey is as light as the card was.
        EXPECT_NEAR(p[1], 255 * encode(luminances[x]), 2.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Lights, GreyCard,
                         testing::Values(GreyCardCase{"Tungsten3200Planckian", 3200,
                                                      xyOfUv(planckianUv(3200))},
                                         GreyCardCase{"Daylight5000", 5000, daylightXy(5000)}),
                         [](const auto& info) { return std::string(info.param.name); });

// The white's place: on the daylight locus from 4000 K, on the Planckian locus below, and a tint of
// T moving it by −T/3000 across the Planckian locus, towards magenta (less green) for T > 0.
TEST(WhiteBalance, WhitesLieOnTheirLociAndTintMovesAcrossThePlanckianLocus) {
    for (double t : {4000.0, 5000.0, 6504.0, 9000.0, 20000.0}) {
        const RUXChromaticity w = RUXWhiteOfTemperature(t, 0);
        EXPECT_NEAR(w.x, daylightXy(t)[0], 1e-9) << t;
        EXPECT_NEAR(w.y, daylightXy(t)[1], 1e-9) << t;
    }
    for (double t : {2000.0, 2856.0, 3200.0, 3900.0}) {
        // Two fits of the locus agree to a few ten-thousandths.
        const RUXChromaticity w = RUXWhiteOfTemperature(t, 0);
        const auto reference = xyOfUv(planckianUv(t));
        EXPECT_NEAR(w.x, reference[0], 1e-3) << t;
        EXPECT_NEAR(w.y, reference[1], 1e-3) << t;
    }
    const std::pair<double, double> tinted[] = {{3200, -40}, {3200, 60},   {3200, 150}, {5000, -150},
                                                {5000, 60},  {8000, -150}, {8000, 150}};
    for (const auto& [t, tint] : tinted) {
        const RUXChromaticity neutral = RUXWhiteOfTemperature(t, 0), moved = RUXWhiteOfTemperature(t, tint);
        EXPECT_NEAR(duvOf(moved.x, moved.y) - duvOf(neutral.x, neutral.y), -tint / 3000, 3e-4)
            << t << " K, tint " << tint;
        const Vector3 a = rgbOfChromaticity(neutral.x, neutral.y, 1),
                      b = rgbOfChromaticity(moved.x, moved.y, 1);
        EXPECT_EQ(b[1] / (b[0] + b[2]) < a[1] / (a[0] + a[2]), tint > 0) << t << " K, tint " << tint;
    }
}

// The matrix takes the white (at luminance 1) to (1, 1, 1), to the precision of the published sRGB
// matrix, and the dropper's inversion
// finds the setting back from the white's colour.
TEST(WhiteBalance, TheMatrixNeutralisesTheWhiteAndTheDropperFindsItBack) {
    for (double t : {2000.0, 2700.0, 3999.0, 4000.0, 5600.0, 6504.0, 12000.0, 30000.0, 50000.0}) {
        for (double tint : {-150.0, -25.0, 0.0, 80.0, 150.0}) {
            SCOPED_TRACE(std::to_string(t) + " K, tint " + std::to_string(tint));
            const auto m = RUXWhiteBalanceMatrix(t, tint);
            ASSERT_TRUE(m);
            const RUXChromaticity w = RUXWhiteOfTemperature(t, tint);
            const Vector3 rgb = rgbOfChromaticity(w.x, w.y, 1);
            for (int row = 0; row < 3; ++row) {
                EXPECT_NEAR((*m)[row * 3] * rgb[0] + (*m)[row * 3 + 1] * rgb[1] + (*m)[row * 3 + 2] * rgb[2],
                            1.0, 1e-3);
            }
            // A picture holds no colour outside the sRGB gamut, so the dropper never sees those whites.
            // The published matrices the colour went through here differ from the editor's own by a
            // few parts in 10^5.
            if (std::min({rgb[0], rgb[1], rgb[2]}) < 0) {
                continue;
            }
            // The setting found makes that colour neutral: its white is the colour's chromaticity.
            // Next to 4000 K, where the white moves from one locus to the other, two settings do
            // that, and the one with less tint is taken; elsewhere it is the setting itself.
            const auto found = RUXWhiteBalanceSettingForColor(0.4 * rgb[0], 0.4 * rgb[1], 0.4 * rgb[2]);
            ASSERT_TRUE(found);
            const RUXChromaticity back = RUXWhiteOfTemperature(found->temperature, found->tint);
            EXPECT_NEAR(back.x, w.x, 1e-4);
            EXPECT_NEAR(back.y, w.y, 1e-4);
            if (std::abs(t - 4000) > 50) {
                EXPECT_NEAR(1e6 / found->temperature, 1e6 / t, 0.2);
                EXPECT_NEAR(found->tint, tint, 0.3);
            }
        }
    }
    // Black, negative and non-finite colours have no white; a colour beyond the range gets its end.
    EXPECT_FALSE(RUXWhiteBalanceSettingForColor(0, 0, 0));
    EXPECT_FALSE(RUXWhiteBalanceSettingForColor(0.5, -0.1, 0.5));
    EXPECT_FALSE(RUXWhiteBalanceSettingForColor(std::numeric_limits<double>::quiet_NaN(), 0.5, 0.5));
    const auto green = RUXWhiteBalanceSettingForColor(0.1, 0.9, 0.1);
    ASSERT_TRUE(green);
    EXPECT_EQ(green->tint, -150);
    EXPECT_FALSE(RUXWhiteBalanceMatrix(std::numeric_limits<double>::infinity(), 0));
    EXPECT_FALSE(RUXWhiteBalanceMatrix(5000, std::numeric_limits<double>::quiet_NaN()));
}

// ---- Exposure and vibrance ----

TEST(Exposure, ScalesLinearLightByTwoToTheEV) {
    const std::vector<Rgba> colours{
        {0, 0, 0, 255}, {12, 60, 200, 255}, {118, 118, 118, 255}, {250, 128, 3, 255}};
    auto image = makeImage(int(colours.size()), 1, [&](int x, int) { return colours[x]; });
    for (double ev : {-5.0, -1.5, 0.7, 2.0}) {
        RUXExposureTransformation exposure;
        exposure.setValue(float(ev));
        auto bitmap = renderEdit(exposure, image);
        ASSERT_TRUE(bitmap);
        for (std::size_t x = 0; x < colours.size(); ++x) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(pixel(*bitmap, int(x), 0)[c],
                            byteOf(decode(colours[x][c] / 255.0) * std::exp2(ev)), 1)
                    << "EV " << ev << ", colour " << x << ", channel " << c;
            }
        }
    }
}

// Chroma as the distance of the linear colour from its luma.
double chromaOf(Rgba p) {
    const double r = decode(p[0] / 255.0), g = decode(p[1] / 255.0), b = decode(p[2] / 255.0);
    const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    return std::hypot(r - luma, g - luma, b - luma);
}

// Greys and fully saturated primaries and secondaries stay within a level at either end of the range;
// the muted colours change much more than the saturated ones, in the direction asked, keeping their
// hue order of channels.
TEST(Vibrance, LeavesGreysAndPrimariesAndMovesMutedColoursMost) {
    const std::vector<Rgba> fixed{{0, 0, 0, 255},       {60, 60, 60, 255},  {128, 128, 128, 255},
                                  {255, 255, 255, 255}, {255, 0, 0, 255},   {0, 255, 0, 255},
                                  {0, 0, 255, 255},     {255, 255, 0, 255}, {0, 255, 255, 255},
                                  {255, 0, 255, 255},   {140, 0, 0, 255}};
    const Rgba muted{170, 140, 125, 255}, saturated{230, 40, 30, 255};
    std::vector<Rgba> colours = fixed;
    colours.push_back(muted);
    colours.push_back(saturated);
    auto image = makeImage(int(colours.size()), 1, [&](int x, int) { return colours[x]; });
    for (float amount : {-1.0f, -0.5f, 0.5f, 1.0f}) {
        SCOPED_TRACE("vibrance " + std::to_string(amount));
        RUXVibranceTransformation vibrance;
        vibrance.setValue(amount);
        auto bitmap = renderEdit(vibrance, image);
        ASSERT_TRUE(bitmap);
        for (std::size_t x = 0; x < fixed.size(); ++x) {
            EXPECT_LE(maxDifference(pixel(*bitmap, int(x), 0), fixed[x]), 1) << "colour " << x;
        }
        const Rgba m = pixel(*bitmap, int(fixed.size()), 0), s = pixel(*bitmap, int(fixed.size()) + 1, 0);
        const double mutedChange = chromaOf(m) / chromaOf(muted) - 1,
                     saturatedChange = chromaOf(s) / chromaOf(saturated) - 1;
        EXPECT_GT(mutedChange * amount, 0);
        EXPECT_GT(std::abs(mutedChange), 3 * std::abs(saturatedChange));
        EXPECT_TRUE(m[0] >= m[1] && m[1] >= m[2]);
    }
}

// ---- What every edit owes the editor ----

struct EditCase {
    const char* name;
    const RUXClass* transformationClass;
    // Sets a value well away from neutral.
    std::function<void(RUXImageTransformation&)> edit;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

const EditCase kEdits[] = {
    {"WhiteBalance", &RUXWhiteBalanceTransformation::classDescriptor(),
     [](RUXImageTransformation& t) {
         static_cast<RUXWhiteBalanceTransformation&>(t).setSetting({3350, 37.5});
     }},
    {"Exposure", &RUXExposureTransformation::classDescriptor(),
     [](RUXImageTransformation& t) { static_cast<RUXScalarTransformation&>(t).setValue(-0.85f); }},
    {"Vibrance", &RUXVibranceTransformation::classDescriptor(),
     [](RUXImageTransformation& t) { static_cast<RUXScalarTransformation&>(t).setValue(0.65f); }},
};

class ColourEdit : public testing::TestWithParam<EditCase> {
protected:
    ScreenScale m_scale{1.0};
};

std::shared_ptr<Graphics::BitmapImage> busyPhoto(int w, int h) {
    return Graphics::BitmapImage::create(makeBitmap(w, h, [w, h](int x, int y) {
        const double u = (x + 0.5) / w, v = (y + 0.5) / h;
        return Rgba{std::uint8_t(30 + 200 * u), std::uint8_t(20 + 210 * v * v),
                    std::uint8_t(220 - 160 * u * v), 255};
    }));
}

// A new edit (the neutral value) gives the very bytes of no edit; so does a value that is not a
// number, with one line in the log.
TEST_P(ColourEdit, NeutralAndUnusableValuesChangeNoByte) {
    auto image = ImageEngine::Image::createWithBitmap(busyPhoto(23, 9)->bitmap());
    const auto untouched = render(image);
    auto neutral = GetParam().transformationClass->create();
    RUXImageMetadata metadata;
    EXPECT_EQ(neutral->resultFromImage(image, metadata), image);
    EXPECT_FALSE(neutral->isAppliedToThumbnail().value_or(false));

    auto unusable = GetParam().transformationClass->create();
    if (auto* balance = dynamic_cast<RUXWhiteBalanceTransformation*>(unusable.get())) {
        balance->setTint(std::numeric_limits<double>::quiet_NaN());
    } else {
        static_cast<RUXScalarTransformation&>(*unusable).setValue(std::numeric_limits<float>::quiet_NaN());
    }
    Foundation::LogCapture capture;
    auto bitmap = renderEdit(*unusable, image);
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(sameBytes(*bitmap, *untouched));
    EXPECT_EQ(capture.lines().size(), 1u);
}

// A recipe holding the edit, after each of the four turns, replays to the same document and the same
// bytes at the thumbnail, screen and output resolutions, and is a document of version 2.
TEST_P(ColourEdit, RecipeReplaysAtEveryResolutionAndTurn) {
    for (int turns = 0; turns < 4; ++turns) {
        SCOPED_TRACE("turns " + std::to_string(turns));
        auto photo = busyPhoto(120, 80);
        auto edited = RUXEditManager::create(photo);
        auto rotate = std::make_shared<RUXRotateTransformation>();
        for (int i = 0; i < turns; ++i) {
            rotate->rotateClockwise90Degrees();
        }
        edited->commitTransformation(rotate);
        auto t = edited->getOrCreateTransformationWithClass(*GetParam().transformationClass);
        GetParam().edit(*t);
        edited->commitTransformation(t);
        auto recipe = edited->recipe();
        ASSERT_TRUE(recipe);
        const std::string document = recipe->document();
        EXPECT_NE(document.find("\"version\": 2"), std::string::npos) << document;

        std::string error;
        auto parsed = RUXRecipe::createWithDocument(document, {}, error);
        ASSERT_TRUE(parsed) << error << "\n" << document;
        auto replayed = RUXEditManager::create(photo);
        ASSERT_TRUE(replayed->applyRecipe(*parsed));
        EXPECT_EQ(replayed->recipe()->document(), document);

        std::vector<const RUXClass*> classes;
        for (const auto& committed : edited->transformations()) {
            classes.push_back(&committed->transformationClass());
        }
        for (const auto& [name, a, b] :
             {std::tuple{"thumbnail", edited->thumbnailImage(), replayed->thumbnailImage()},
              std::tuple{"screen", edited->lowResImage(), replayed->lowResImage()},
              std::tuple{"output", edited->fullImage(), replayed->fullImage()}}) {
            auto expected = renderFormula(edited->imageWithBaseImage(a, classes));
            auto actual = renderFormula(replayed->imageWithBaseImage(b, classes));
            ASSERT_TRUE(expected && actual) << name;
            EXPECT_TRUE(sameBytes(*expected, *actual)) << name;
            // The edit really acts at this resolution.
            auto unedited = renderFormula(
                edited->imageWithBaseImage(a, {&RUXRotateTransformation::classDescriptor(),
                                               &RUXNormalizeTransformation::classDescriptor()}));
            ASSERT_TRUE(unedited);
            EXPECT_FALSE(sameBytes(*expected, *unedited)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Edits, ColourEdit, testing::ValuesIn(kEdits),
                         [](const auto& info) { return std::string(info.param.name); });

// The three committed one after the other through working copies, undone to nothing and redone to
// the same picture; each class keeps its own slot and order.
TEST(ColourEdits, UndoAndRedoWalkTheThreeEdits) {
    ScreenScale scale(1.0);
    auto manager = RUXEditManager::create(busyPhoto(40, 30));
    const auto before = renderFormula(manager->resultantImage());
    for (const EditCase& c : kEdits) {
        auto t = manager->getOrCreateTransformationWithClass(*c.transformationClass);
        c.edit(*t);
        manager->commitTransformation(t);
    }
    const RUXTransformationList edited = manager->transformations();
    const auto after = renderFormula(manager->resultantImage());
    ASSERT_EQ(edited.size(), 4u);
    EXPECT_TRUE(std::is_sorted(edited.begin(), edited.end(), RUXEditManager::transformationComparator));
    EXPECT_FALSE(sameBytes(*before, *after));

    for (int i = 0; i < 3; ++i) {
        manager->undo();
    }
    EXPECT_EQ(manager->transformations().size(), 1u);
    EXPECT_TRUE(sameBytes(*renderFormula(manager->resultantImage()), *before));
    for (int i = 0; i < 3; ++i) {
        manager->redo();
    }
    EXPECT_EQ(manager->transformations(), edited);
    EXPECT_TRUE(sameBytes(*renderFormula(manager->resultantImage()), *after));
}

} // namespace
