// The colour matrix and vibrance steps: every pixel of a busy, partly translucent picture against
// the step's formula in double precision, every compiled instruction set against the portable one,
// and the matrix data the step refuses.
#include "ImageEngine/Support.h"
#include "ImageEngine/TargetComparison.h"
#include "Pipeline/Simd.h"

#include <Foundation/Log.h>
#include <ImageEngine/FilterNames.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <limits>
#include <string>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

// Not a multiple of any vector width, so whole vectors and the leftover lanes are both checked.
constexpr int kWidth = 45, kHeight = 4;

// Colours stored premultiplied, one alpha per row (opaque, mostly opaque, half, faint), with greys
// and fully saturated colours among them.
std::shared_ptr<Graphics::Bitmap> busyBitmap() {
    static const std::uint8_t alphas[kHeight] = {255, 200, 128, 40};
    auto bitmap = Graphics::Bitmap::create(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            int straight[3];
            for (int c = 0; c < 3; ++c)
                straight[c] = (x * (29 + 10 * c) + y * 71 + c * 97) % 256;
            if (x % 9 == 0)
                straight[1] = straight[2] = straight[0]; // grey
            if (x % 9 == 4)
                straight[x % 3] = 0; // a channel at zero
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(std::lround(straight[c] * alphas[y] / 255.0));
            p[3] = alphas[y];
        }
    return bitmap;
}

ImagePtr colorMatrix(const ImagePtr& image, const std::array<float, 9>& m) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(sizeof m);
    std::memcpy(bytes->data(), m.data(), sizeof m);
    return apply("RUXColorMatrix", {{"inputImage", image}, {"inputColorMatrix", Data(bytes)}});
}

ImagePtr vibrance(const ImagePtr& image, double amount) {
    return apply("RUXVibrance", {{"inputImage", image}, {"inputAmount", amount}});
}

// Vibrance as its input table describes it, on straight linear colour (the saturation measure and
// the limits are the same for premultiplied colour).
std::array<double, 3> vibranceOf(std::array<double, 3> c, double amount) {
    const double luma = 0.2125 * c[0] + 0.7154 * c[1] + 0.0721 * c[2];
    const double high = std::max({c[0], c[1], c[2]}), low = std::min({c[0], c[1], c[2]});
    const double saturation = high > 0 ? (high - low) / high : 0;
    double factor = 1 + amount * std::clamp(1 - saturation, 0.0, 1.0);
    if (amount > 0) {
        const double toBlack = luma > low ? luma / (luma - low) : 1e300;
        const double toWhite = high > luma ? (1 - luma) / (high - luma) : 1e300;
        factor = std::min(factor, std::max(1.0, std::min(toBlack, toWhite)));
    }
    for (double& v : c)
        v = luma + (v - luma) * factor;
    return c;
}

struct StepCase {
    const char* name;
    std::function<ImagePtr(const ImagePtr&)> build;
    std::function<std::array<double, 3>(const std::array<double, 3>&)> formula;
};

void PrintTo(const StepCase& stepCase, std::ostream* os) {
    *os << stepCase.name;
}

// A white balance from tungsten light, and a matrix that mixes channels with negative weights.
constexpr std::array<float, 9> kWarmToNeutral{0.62f, 0.21f, 0.03f, 0.02f, 0.93f, 0.01f, -0.01f, 0.05f, 1.9f};
constexpr std::array<float, 9> kMixing{0.2f, 0.9f, -0.3f, 1.1f, -0.2f, 0.1f, 0.3f, 0.3f, 0.4f};

StepCase matrixCase(const char* name, const std::array<float, 9>& m) {
    return {name, [m](const ImagePtr& image) { return colorMatrix(image, m); },
            [m](const std::array<double, 3>& c) {
                return std::array<double, 3>{m[0] * c[0] + m[1] * c[1] + m[2] * c[2],
                                             m[3] * c[0] + m[4] * c[1] + m[5] * c[2],
                                             m[6] * c[0] + m[7] * c[1] + m[8] * c[2]};
            }};
}

StepCase exposureCase(const char* name, double ev) {
    return {
        name,
        [ev](const ImagePtr& image) {
            return apply(Filters::exposureAdjust.text, {{Inputs::image.text, image}, {Inputs::ev.text, ev}});
        },
        [ev](std::array<double, 3> c) {
            for (double& v : c)
                v *= std::exp2(ev);
            return c;
        }};
}

// One step after another: neighbouring matrix and exposure steps run as one matrix.
StepCase thenCase(const char* name, const StepCase& first, const StepCase& second) {
    return {name, [first, second](const ImagePtr& image) { return second.build(first.build(image)); },
            [first, second](const std::array<double, 3>& c) { return second.formula(first.formula(c)); }};
}

StepCase vibranceCase(const char* name, double amount) {
    return {name, [amount](const ImagePtr& image) { return vibrance(image, amount); },
            [amount](const std::array<double, 3>& c) { return vibranceOf(c, amount); }};
}

class ColourStepTest : public testing::TestWithParam<StepCase> {};

TEST_P(ColourStepTest, EveryPixelWithinOneStepOfTheFormula) {
    auto bitmap = busyBitmap();
    auto output = GetParam().build(imageOf(bitmap));
    ASSERT_TRUE(output);
    EXPECT_EQ(output->extent(), Rect(0, 0, kWidth, kHeight));
    auto rendered = render(output, Rect(0, 0, kWidth, kHeight));
    ASSERT_TRUE(rendered);
    for (int row = 0; row < kHeight; ++row)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* in = pixel(*bitmap, x, row);
            const double alpha = in[3] / 255.0;
            std::array<double, 3> straight{};
            for (int c = 0; c < 3; ++c)
                straight[c] = decode(std::min(1.0, double(in[c]) / in[3]));
            const std::array<double, 3> want = GetParam().formula(straight);
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(pixel(*rendered, x, row)[c], encode(std::clamp(want[c], 0.0, 1.0)) * alpha * 255,
                            1.0)
                    << "pixel " << x << ", row " << row << ", channel " << c;
            ASSERT_EQ(pixel(*rendered, x, row)[3], in[3]);
        }
}

INSTANTIATE_TEST_SUITE_P(Steps, ColourStepTest,
                         testing::Values(matrixCase("WarmToNeutral", kWarmToNeutral),
                                         matrixCase("Mixing", kMixing),
                                         thenCase("WarmToNeutralThenExposure", matrixCase("", kWarmToNeutral),
                                                  exposureCase("", 0.3)),
                                         thenCase("WarmToNeutralThenMixing", matrixCase("", kWarmToNeutral),
                                                  matrixCase("", kMixing)),
                                         vibranceCase("Raise", 0.8), vibranceCase("FullRaise", 1.0),
                                         vibranceCase("Lower", -0.6), vibranceCase("BeyondTheRange", -3.0)),
                         [](const auto& info) { return std::string(info.param.name); });

// Both steps in one pass after a turn, rendered in odd tiles: each vector instruction set gives the
// portable fallback's picture within one step.
TEST(ColourSteps, EveryInstructionSetGivesThePortablePictureWithinOneStep) {
    auto image =
        imageOf(busyBitmap())->imageByApplyingTransform(Graphics::AffineTransform::makeRotation(M_PI));
    image = colorMatrix(image, kWarmToNeutral);
    image = vibrance(image, 0.7);
    image = colorMatrix(image, kMixing);
    image = vibrance(image, -0.4);
    ASSERT_TRUE(image);
    const Rect rect = image->extent();

    expectSameOnEveryTargetAsPortable(image, rect, 19, 3);
}

// Matrix data of another size, or with a value that is not finite, gives no output and one line.
TEST(ColourSteps, UnusableMatrixDataGivesNoOutput) {
    const ImagePtr photo = imageOf(busyBitmap());
    auto filter = Filter::create(Filters::colorMatrix);
    filter->setValue(Inputs::image, photo);
    // The default is the identity.
    auto identity = filter->outputImage();
    ASSERT_TRUE(identity);
    EXPECT_EQ(bytesOf(*render(identity, photo->extent())), bytesOf(*render(photo, photo->extent())));

    std::array<float, 9> notFinite = kMixing;
    notFinite[4] = std::numeric_limits<float>::quiet_NaN();
    auto nan = std::make_shared<std::vector<std::uint8_t>>(sizeof notFinite);
    std::memcpy(nan->data(), notFinite.data(), sizeof notFinite);
    for (Data data :
         {Data(std::make_shared<std::vector<std::uint8_t>>(8 * sizeof(float))), Data{}, Data(nan)}) {
        Foundation::LogCapture capture;
        filter->setValue(Inputs::colorMatrix, data);
        EXPECT_FALSE(filter->outputImage());
        EXPECT_EQ(capture.lines().size(), 1u);
    }
}

} // namespace
