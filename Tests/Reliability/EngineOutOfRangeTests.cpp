// The image engine's public entry points fed values outside their ranges: each gives a defined
// result (a bitmap of the requested size whose pixels are valid premultiplied colour, or nullptr)
// and never a crash, a hang or a fault under the sanitizers.
#include <Foundation/Log.h>
#include <Graphics/Bitmap.h>
#include <ImageEngine/Context.h>
#include <ImageEngine/Filter.h>
#include <ImageEngine/Image.h>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

using namespace ImageEngine;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

ImagePtr photo(int width = 6, int height = 4) {
    auto bitmap = Graphics::Bitmap::create(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(40 * x), p[1] = static_cast<std::uint8_t>(60 * y), p[2] = 128;
            p[3] = 255;
        }
    return Image::createWithBitmap(bitmap);
}

std::shared_ptr<Graphics::Bitmap> render(const ImagePtr& image, const Graphics::Rect& rect) {
    static auto context = Context::create();
    return context->createCGImage(image, rect);
}

// Every pixel valid premultiplied colour: no channel above alpha.
bool premultipliedEverywhere(const Graphics::Bitmap& bitmap) {
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const std::uint8_t* p = bitmap.row(y) + 4 * x;
            if (p[0] > p[3] || p[1] > p[3] || p[2] > p[3])
                return false;
        }
    return true;
}

struct FilterCase {
    const char* label;
    const char* filter;
    const char* key;
    FilterValue value;
};

std::ostream& operator<<(std::ostream& out, const FilterCase& c) {
    return out << c.label;
}

class FilterParameterOutOfRange : public testing::TestWithParam<FilterCase> {};

// The filter builds a recipe, and rendering it over the photo's rectangle answers a bitmap of that
// size whose bytes are valid; NaN arithmetic ends as transparent black rather than as undefined
// byte conversions.
TEST_P(FilterParameterOutOfRange, RendersTheRequestedRectWithValidPixels) {
    Foundation::LogCapture quiet;
    const FilterCase& c = GetParam();
    auto filter = Filter::create(c.filter);
    ASSERT_TRUE(filter);
    filter->setValue("inputImage", photo());
    filter->setValue(c.key, c.value);
    ImagePtr output = filter->outputImage();
    if (!output)
        return; // refusing the value is a defined result too
    auto bitmap = render(output, Graphics::Rect(0, 0, 6, 4));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width(), 6);
    EXPECT_EQ(bitmap->height(), 4);
    EXPECT_TRUE(premultipliedEverywhere(*bitmap));
}

const FilterCase kFilterCases[] = {
    {"exposure_nan", "CIExposureAdjust", "inputEV", kNaN},
    {"exposure_inf", "CIExposureAdjust", "inputEV", kInf},
    {"exposure_minus_inf", "CIExposureAdjust", "inputEV", -kInf},
    {"exposure_huge", "CIExposureAdjust", "inputEV", 1e300},
    {"gamma_zero", "CIGammaAdjust", "inputPower", 0.0},
    {"gamma_nan", "CIGammaAdjust", "inputPower", kNaN},
    {"gamma_negative", "CIGammaAdjust", "inputPower", -3.0},
    {"gamma_inf", "CIGammaAdjust", "inputPower", kInf},
    {"saturation_nan", "CIColorControls", "inputSaturation", kNaN},
    {"saturation_inf", "CIColorControls", "inputSaturation", kInf},
    {"saturation_minus_huge", "CIColorControls", "inputSaturation", -1e300},
    {"brightness_nan", "CIColorControls", "inputBrightness", kNaN},
    {"contrast_inf", "CIColorControls", "inputContrast", kInf},
    {"blur_nan", "CIGaussianBlur", "inputRadius", kNaN},
    {"blur_inf", "CIGaussianBlur", "inputRadius", kInf},
    {"blur_negative", "CIGaussianBlur", "inputRadius", -5.0},
    {"blur_huge", "CIGaussianBlur", "inputRadius", 1e12},
    {"transform_nan", "CIAffineTransform", "inputTransform",
     Graphics::AffineTransform{kNaN, 0, 0, kNaN, 0, 0}},
    {"transform_zero", "CIAffineTransform", "inputTransform", Graphics::AffineTransform{0, 0, 0, 0, 0, 0}},
    {"transform_huge", "CIAffineTransform", "inputTransform",
     Graphics::AffineTransform{1e300, 0, 0, 1e300, 0, 0}},
    {"transform_inf_shift", "CIAffineTransform", "inputTransform",
     Graphics::AffineTransform{1, 0, 0, 1, kInf, 0}},
    {"clamp_nan", "CIAffineClamp", "inputTransform", Graphics::AffineTransform{kNaN, 0, 0, 1, 0, 0}},
    {"clamp_singular", "CIAffineClamp", "inputTransform", Graphics::AffineTransform{0, 0, 0, 0, 3, 3}},
    {"crop_nan", "CICrop", "inputRectangle", Vector::make(kNaN, 0, 3, 3)},
    {"crop_outside", "CICrop", "inputRectangle", Vector::make(1000, 1000, 3, 3)},
    {"crop_negative_size", "CICrop", "inputRectangle", Vector::make(5, 3, -4, -2)},
    {"crop_infinite", "CICrop", "inputRectangle", Vector::make(-kInf, -kInf, kInf, kInf)},
};

INSTANTIATE_TEST_SUITE_P(Engine, FilterParameterOutOfRange, testing::ValuesIn(kFilterCases),
                         [](const testing::TestParamInfo<FilterCase>& info) { return info.param.label; });

TEST(RadialGradientOutOfRange, RendersWithValidPixels) {
    Foundation::LogCapture quiet;
    for (const double value : {kNaN, kInf, -kInf, 0.0, -1.0, 1e300}) {
        SCOPED_TRACE(value);
        for (const char* key : {"inputRadius0", "inputRadius1"}) {
            auto filter = Filter::create("CIRadialGradient");
            filter->setValue("inputCenter", Vector::make(3, 2));
            filter->setValue(key, value);
            if (ImagePtr output = filter->outputImage()) {
                auto bitmap = render(output, Graphics::Rect(0, 0, 6, 4));
                ASSERT_TRUE(bitmap);
                EXPECT_TRUE(premultipliedEverywhere(*bitmap));
            }
        }
        auto filter = Filter::create("CIRadialGradient");
        filter->setValue("inputCenter", Vector::make(value, value));
        if (ImagePtr output = filter->outputImage()) {
            if (auto bitmap = render(output, Graphics::Rect(0, 0, 6, 4))) {
                EXPECT_TRUE(premultipliedEverywhere(*bitmap));
            }
        }
    }
}

struct RenderRectCase {
    const char* label;
    Graphics::Rect rect;
    bool renders;
};

std::ostream& operator<<(std::ostream& out, const RenderRectCase& c) {
    return out << c.label;
}

class RenderRect : public testing::TestWithParam<RenderRectCase> {};

// createCGImage answers nullptr for a rectangle it cannot make a bitmap of, and otherwise the
// rectangle rounded outward, transparent where the image is not.
TEST_P(RenderRect, AnswersNullOrTheRoundedRect) {
    Foundation::LogCapture quiet;
    const RenderRectCase& c = GetParam();
    auto bitmap = render(photo(), c.rect);
    if (!c.renders) {
        EXPECT_EQ(bitmap, nullptr);
        return;
    }
    ASSERT_TRUE(bitmap);
    const Graphics::Rect pixels = c.rect.integral();
    EXPECT_EQ(bitmap->width(), static_cast<int>(pixels.width()));
    EXPECT_EQ(bitmap->height(), static_cast<int>(pixels.height()));
    EXPECT_TRUE(premultipliedEverywhere(*bitmap));
}

const RenderRectCase kRenderRects[] = {
    {"empty", Graphics::Rect(0, 0, 0, 4), false},
    {"null", Graphics::Rect::null(), false},
    {"infinite", Graphics::Rect::infinite(), false},
    {"nan_origin", Graphics::Rect(kNaN, 0, 6, 4), false},
    {"nan_size", Graphics::Rect(0, 0, kNaN, 4), false},
    {"inf_size", Graphics::Rect(0, 0, kInf, 4), false},
    {"over_pixel_limit", Graphics::Rect(0, 0, 1e6, 1e6), false},
    {"beyond_int", Graphics::Rect(0, 0, 1e300, 1), false},
    {"beyond_the_pixel_range", Graphics::Rect(1e9, -1e9, 3, 2), false},
    {"far_away", Graphics::Rect(1e8, -1e8, 3, 2), true},
    {"fractional", Graphics::Rect(0.25, 0.5, 2.5, 1.25), true},
    {"one_pixel", Graphics::Rect(5, 3, 1, 1), true},
    {"negative_size", Graphics::Rect(6, 4, -6, -4), true},
};

INSTANTIATE_TEST_SUITE_P(Engine, RenderRect, testing::ValuesIn(kRenderRects),
                         [](const testing::TestParamInfo<RenderRectCase>& info) { return info.param.label; });

TEST(EngineInput, NullImagesFlowThrough) {
    Foundation::LogCapture quiet;
    EXPECT_EQ(Image::createWithBitmap(nullptr), nullptr);
    EXPECT_EQ(render(nullptr, Graphics::Rect(0, 0, 2, 2)), nullptr);
    auto blend = Filter::create("CIOverlayBlendMode");
    blend->setValue("inputImage", photo());
    EXPECT_EQ(blend->outputImage(), nullptr) << "a missing background is refused";
    EXPECT_EQ(Filter::create("CINoSuchFilter"), nullptr);
}

TEST(EngineInput, OnePixelPhotoThroughEveryGeometricFilter) {
    Foundation::LogCapture quiet;
    const ImagePtr one = photo(1, 1);
    auto blur = Filter::create("CIGaussianBlur");
    blur->setValue("inputImage", one);
    blur->setValue("inputRadius", 10.0);
    auto clamp = Filter::create("CIAffineClamp");
    clamp->setValue("inputImage", one);
    for (const ImagePtr& image :
         {one, blur->outputImage(), clamp->outputImage(),
          one->imageByApplyingTransform(Graphics::AffineTransform::makeScale(1e-9, 1e-9)),
          one->imageByCroppingToRect(Graphics::Rect(0.5, 0.5, 0.25, 0.25))}) {
        ASSERT_TRUE(image);
        auto bitmap = render(image, Graphics::Rect(-1, -1, 3, 3));
        ASSERT_TRUE(bitmap);
        EXPECT_TRUE(premultipliedEverywhere(*bitmap));
    }
}

} // namespace
