#include "ImageEngine/Support.h"

#include <Foundation/Log.h>
#include <ImageEngine/FilterNames.h>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

std::shared_ptr<std::vector<std::uint8_t>> cubeData(int dim, float (*f)(float r, float g, float b, int c)) {
    std::vector<float> floats;
    for (int b = 0; b < dim; ++b)
        for (int g = 0; g < dim; ++g)
            for (int r = 0; r < dim; ++r)
                for (int c = 0; c < 4; ++c)
                    floats.push_back(f(r / float(dim - 1), g / float(dim - 1), b / float(dim - 1), c));
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(floats.size() * sizeof(float));
    std::memcpy(bytes->data(), floats.data(), bytes->size());
    return bytes;
}

TEST(ColorCube, LooksUpInEncodedSpaceAndRejectsWrongSizes) {
    // A table that swaps red and blue and inverts green, in sRGB-encoded values: trilinear lookup of a
    // linear function is exact, so the bytes come back permuted.
    auto swap = [](float r, float g, float b, int c) {
        return c == 0 ? b : c == 1 ? 1 - g : c == 2 ? r : 1.0f;
    };
    auto image = imageOf(solidBitmap(2, 2, 30, 100, 220));
    for (int dim : {2, 33, 64}) {
        auto output =
            apply("CIColorCubeWithColorSpace", {{"inputImage", image},
                                                {"inputCubeDimension", double(dim)},
                                                {"inputCubeData", Data(cubeData(dim, swap))},
                                                {"inputColorSpace", Graphics::ColorSpace::DeviceRGB}});
        ASSERT_TRUE(output) << dim;
        auto bitmap = render(output, output->extent());
        const std::uint8_t* p = pixel(*bitmap, 0, 0);
        EXPECT_NEAR(p[0], 220, 1) << dim;
        EXPECT_NEAR(p[1], 155, 1) << dim;
        EXPECT_NEAR(p[2], 30, 1) << dim;
    }
    Foundation::LogCapture capture;
    auto shortData = cubeData(33, swap);
    shortData->resize(shortData->size() - 4);
    EXPECT_FALSE(
        apply("CIColorCubeWithColorSpace",
              {{"inputImage", image}, {"inputCubeDimension", 33.0}, {"inputCubeData", Data(shortData)}}));
    EXPECT_FALSE(apply("CIColorCubeWithColorSpace", {{"inputImage", image}, {"inputCubeDimension", 33.0}}));
}

TEST(Compositing, MaskGreenPicksBetweenImageAndBackground) {
    auto red = imageOf(solidBitmap(8, 1, 255, 0, 0));
    auto blue = imageOf(solidBitmap(8, 1, 0, 0, 255));
    // Green runs 0 → 1 linearly over x: transparent green at the centre (0, 0.5), opaque beyond 8.
    auto mask = apply("CIRadialGradient", {{"inputCenter", Vector::make(0, 0.5)},
                                           {"inputRadius0", 0.0},
                                           {"inputRadius1", 8.0},
                                           {"inputColor0", Color{0, 0, 0, 1}},
                                           {"inputColor1", Color{0, 1, 0, 1}}});
    auto blended = apply("CIBlendWithMask",
                         {{"inputImage", red}, {"inputBackgroundImage", blue}, {"inputMaskImage", mask}});
    auto bitmap = render(blended, Rect(0, 0, 8, 1));
    for (int x = 0; x < 8; ++x) {
        double m = (x + 0.5) / 8;
        EXPECT_NEAR(pixel(*bitmap, x, 0)[0], encode(m) * 255, 1) << x;
        EXPECT_NEAR(pixel(*bitmap, x, 0)[2], encode(1 - m) * 255, 1) << x;
    }
}

TEST(RadialGradient, RampsBetweenRadiiIncludingReversedAndEqual) {
    auto gradient = [](double r0, double r1) {
        return apply("CIRadialGradient", {{"inputCenter", Vector::make(0, 0)},
                                          {"inputRadius0", r0},
                                          {"inputRadius1", r1},
                                          {"inputColor0", Color{1, 1, 1, 1}},
                                          {"inputColor1", Color{1, 1, 1, 0}}});
    };
    auto ramp = gradient(2, 10);
    EXPECT_TRUE(ramp->extent().isInfinite());
    // Pixel centres along y = 0.5 at distances ≈ x + 0.5.
    auto bitmap = render(ramp, Rect(0, 0, 12, 1));
    for (int x : {0, 4, 7, 11}) {
        double d = std::hypot(x + 0.5, 0.5);
        double alpha = 1 - std::clamp((d - 2) / 8, 0.0, 1.0);
        EXPECT_NEAR(pixel(*bitmap, x, 0)[3], alpha * 255, 1) << x;
    }
    auto reversed = render(gradient(10, 2), Rect(0, 0, 12, 1));
    EXPECT_EQ(pixel(*reversed, 0, 0)[3], 0);    // inside r1: colour 1 (clear)
    EXPECT_EQ(pixel(*reversed, 11, 0)[3], 255); // beyond r0: colour 0
    auto step = render(gradient(5, 5), Rect(0, 0, 12, 1));
    EXPECT_EQ(pixel(*step, 3, 0)[3], 255);
    EXPECT_EQ(pixel(*step, 6, 0)[3], 0);
}

TEST(GaussianBlur, ConservesAUniformInteriorAndGrowsTheExtent) {
    auto image = imageOf(solidBitmap(40, 30, 90, 90, 90));
    auto blurred = apply("CIGaussianBlur", {{"inputImage", image}, {"inputRadius", 2.5}});
    EXPECT_EQ(blurred->extent(), Rect(-8, -8, 56, 46));
    auto bitmap = render(blurred, blurred->extent());
    EXPECT_NEAR(pixel(*bitmap, 28, 23)[0], 90, 1);
    // An unclamped edge fades:
    // the weights either side of the border add up to one.
    EXPECT_NEAR(pixel(*bitmap, 7, 23)[3] + pixel(*bitmap, 8, 23)[3], 255, 2);
    EXPECT_LT(pixel(*bitmap, 7, 23)[3], 128);
    EXPECT_EQ(pixel(*bitmap, 0, 23)[3], 0);
    // Clamped first, the border keeps its colour and the crop restores the original extent.
    auto clamp = apply("CIAffineClamp",
                       {{"inputImage", image}, {"inputTransform", Graphics::AffineTransform::identity()}});
    EXPECT_TRUE(clamp->extent().isInfinite());
    auto focus = apply("CIGaussianBlur", {{"inputImage", clamp}, {"inputRadius", 2.5}})
                     ->imageByCroppingToRect(image->extent());
    EXPECT_EQ(focus->extent(), Rect(0, 0, 40, 30));
    auto edge = render(focus, focus->extent());
    EXPECT_NEAR(pixel(*edge, 0, 0)[0], 90, 1);
    EXPECT_EQ(pixel(*edge, 0, 0)[3], 255);
}

TEST(Geometry, ExtentsOfTurnsCropsAndTranslations) {
    auto image = imageOf(patternBitmap(5, 3));
    auto clockwise = image->imageByApplyingTransform(Graphics::AffineTransform::makeRotation(-M_PI / 2));
    EXPECT_EQ(clockwise->extent(), Rect(0, -5, 3, 5));
    EXPECT_EQ(image->imageByCroppingToRect(Rect(1, 1, 10, 1))->extent(), Rect(1, 1, 4, 1));
    EXPECT_TRUE(image->imageByCroppingToRect(Rect(10, 10, 2, 2))->extent().isEmpty());
    EXPECT_EQ(image->imageByApplyingTransform(Graphics::AffineTransform::makeTranslation(2, -1))->extent(),
              Rect(2, -1, 5, 3));
}

TEST(Filters, NilFlowsThroughAndUnknownNamesAnswerNil) {
    Foundation::LogCapture capture;
    EXPECT_FALSE(Filter::create("CINoSuchFilter"));
    EXPECT_TRUE(capture.contains("CINoSuchFilter"));
    for (const char* name :
         {"CIExposureAdjust", "CIGammaAdjust", "CIColorControls", "CIColorCubeWithColorSpace",
          "CIOverlayBlendMode", "CIAffineTransform", "CICrop", "CIAffineClamp", "CIGaussianBlur",
          "CIBlendWithMask", "CISourceOverCompositing"}) {
        auto filter = Filter::create(name);
        ASSERT_TRUE(filter) << name;
        EXPECT_FALSE(filter->outputImage()) << name;
        filter->setValue("inputImage", ImagePtr{});
        EXPECT_FALSE(filter->outputImage()) << name;
    }
    // A value of the wrong kind is ignored; resetting restores the default.
    auto blur = Filter::create("CIGaussianBlur");
    blur->setValue("inputRadius", Vector::make(1, 2));
    EXPECT_EQ(std::get<double>(blur->value("inputRadius")), 10.0);
    blur->setValue("inputRadius", 2.0);
    blur->setValue("inputRadius", std::monostate{});
    EXPECT_EQ(std::get<double>(blur->value("inputRadius")), 10.0);
    EXPECT_FALSE(Context::create()->createCGImage(nullptr, Rect(0, 0, 4, 4)));
}

// The typed names build the filters their texts name, and a vector input keeps its count of
// components: a rectangle given where a centre belongs is refused as a value of the wrong kind is.
TEST(Filters, TypedNamesAndVectorCounts) {
    for (FilterName name :
         {Filters::exposureAdjust, Filters::gammaAdjust, Filters::colorControls,
          Filters::colorCubeWithColorSpace, Filters::overlayBlendMode, Filters::blendWithMask,
          Filters::sourceOverCompositing, Filters::affineTransform, Filters::affineClamp, Filters::crop,
          Filters::gaussianBlur, Filters::radialGradient}) {
        auto filter = Filter::create(name.text);
        ASSERT_TRUE(filter) << name.text;
        EXPECT_EQ(filter->name(), name.text);
    }
    Foundation::LogCapture capture;
    auto gradient = Filter::create(Filters::radialGradient.text);
    gradient->setValue(Inputs::center.text, Vector::make(1, 2, 3, 4));
    EXPECT_TRUE(capture.contains("takes 2 numbers, not 4"));
    const Vector centre = std::get<Vector>(gradient->value(Inputs::center.text));
    EXPECT_EQ(centre.count, 2);
    EXPECT_EQ(centre.values[0], 150.0);
    gradient->setValue(Inputs::center.text, Vector::make(7, 8));
    EXPECT_EQ(std::get<Vector>(gradient->value(Inputs::center.text)).values[0], 7.0);

    auto crop = Filter::create(Filters::crop.text);
    crop->setValue(Inputs::rectangle.text, Vector::make(1, 2));
    EXPECT_EQ(std::get<Vector>(crop->value(Inputs::rectangle.text)).count, 4);
}

} // namespace
