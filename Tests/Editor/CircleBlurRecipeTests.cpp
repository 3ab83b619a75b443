// The circle blur as a recipe, held to the bitmap path it replaced: the input rendered whole, the
// integer convolution over that bitmap, the circle art drawn into a grey mask on the processor, and
// the sharp bitmap painted over the blurred one through it.
#include "EditorTestSupport.h"

#include <ImageEngine/Convolution.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXImageMetadata.h>
#include <Utility/RUXImageUtility.h>
#include <Utility/RUXResourceLocation.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

using namespace EditorTest;

namespace {

// The mask as the bitmap path drew it: white, the art stretched into its point size centred on the
// point and grown by 500, sampled bilinearly at pixel centres, its luma laid over the white.
std::vector<std::uint8_t> referenceMask(int width, int height, Graphics::Point point,
                                        const Graphics::BitmapImage& circle) {
    std::vector<std::uint8_t> mask(std::size_t(width) * height, 255);
    const Graphics::Bitmap& art = *circle.bitmap();
    const Graphics::Size size = circle.size();
    const Graphics::Rect target =
        Graphics::Rect(point.x - size.width * 0.5, point.y - size.height * 0.5, size.width, size.height)
            .insetBy(-500, -500);
    const bool opaque = art.alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
    auto sample = [&](int x, int y, double& level, double& alpha) {
        const std::uint8_t* p = art.row(std::clamp(y, 0, art.height() - 1)) +
                                std::clamp(x, 0, art.width() - 1) * art.bytesPerPixel();
        level = (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
        alpha = opaque ? 1.0 : p[3] / 255.0;
    };
    const double sx = art.width() / target.width(), sy = art.height() / target.height();
    for (int y = std::max(0, int(std::floor(target.minY())));
         y < std::min(height, int(std::ceil(target.maxY()))); ++y) {
        for (int x = std::max(0, int(std::floor(target.minX())));
             x < std::min(width, int(std::ceil(target.maxX()))); ++x) {
            const double u = (x + 0.5 - target.minX()) * sx - 0.5, v = (y + 0.5 - target.minY()) * sy - 0.5;
            const int u0 = int(std::floor(u)), v0 = int(std::floor(v));
            const double fu = u - u0, fv = v - v0;
            double l[4], a[4];
            sample(u0, v0, l[0], a[0]);
            sample(u0 + 1, v0, l[1], a[1]);
            sample(u0, v0 + 1, l[2], a[2]);
            sample(u0 + 1, v0 + 1, l[3], a[3]);
            auto mix = [&](double c0, double c1, double c2, double c3) {
                return (c0 * (1 - fu) + c1 * fu) * (1 - fv) + (c2 * (1 - fu) + c3 * fu) * fv;
            };
            const double alpha = mix(a[0], a[1], a[2], a[3]);
            const double level = mix(l[0] * a[0], l[1] * a[1], l[2] * a[2], l[3] * a[3]) + (1 - alpha);
            mask[std::size_t(y) * width + x] = std::uint8_t(std::lround(std::clamp(level, 0.0, 1.0) * 255));
        }
    }
    return mask;
}

// The whole bitmap path: render, convolve, mask, paint the sharp picture over the blurred one.
std::shared_ptr<Graphics::Bitmap> referenceCircleBlur(const ImageEngine::ImagePtr& photo,
                                                      Graphics::Point point,
                                                      const std::shared_ptr<Graphics::BitmapImage>& circle) {
    auto sharp = render(photo);
    const int w = sharp->width(), h = sharp->height();
    auto blurred =
        ImageEngine::convolvedCopy(*sharp, RUXBeautifulBlurTransformation::kernelOfSize(
                                               RUXBeautifulBlurTransformation::kernelSizeForSize(w, h)));
    if (point.x == 0 && point.y == 0) {
        point = {w * 0.5, h * 0.5};
    }
    const std::vector<std::uint8_t> mask =
        circle ? referenceMask(w, h, point, *circle) : std::vector<std::uint8_t>(std::size_t(w) * h, 255);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = sharp->row(y);
        std::uint8_t* out = blurred->mutableRow(y);
        for (int x = 0; x < w; ++x) {
            const int coverage = 255 - mask[std::size_t(y) * w + x];
            const int sharpAlpha = s[4 * x + 3] * coverage / 255;
            for (int c = 0; c < 3; ++c) {
                out[4 * x + c] = std::uint8_t(std::min(
                    255, (s[4 * x + c] * coverage + out[4 * x + c] * (255 - sharpAlpha) + 127) / 255));
            }
            out[4 * x + 3] = 255;
        }
    }
    return blurred;
}

// The largest difference of any byte, with where it is.
std::string worstDifference(const Graphics::Bitmap& a, const Graphics::Bitmap& b, int& worst) {
    worst = 0;
    std::string where;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width() * 4; ++x) {
            const int d = std::abs(int(a.row(y)[x]) - int(b.row(y)[x]));
            if (d > worst) {
                worst = d;
                where = "pixel (" + std::to_string(x / 4) + ", " + std::to_string(y) + ") byte " +
                        std::to_string(x % 4);
            }
        }
    }
    return where;
}

// A picture with detail everywhere, so a blur shows wherever it acts; with transparent corners when
// asked, so the sharp picture's alpha takes part in the blend.
ImageEngine::ImagePtr detailedPhoto(int w, int h, bool transparentCorner) {
    return makeImage(w, h, [=](int x, int y) {
        if (transparentCorner && x < 20 && y < 15) {
            return Rgba{0, 0, 0, 0};
        }
        return Rgba{std::uint8_t((x * 37 + y * 11) % 256), std::uint8_t((x * x + 3 * y) % 251),
                    std::uint8_t(x % 2 ? 230 : 20), 255};
    });
}

struct CircleCase {
    const char* name;
    int width, height;
    Graphics::Point point;
    bool transparentCorner;
};

class CircleBlurRecipe : public testing::TestWithParam<CircleCase> {};

// Within one level of the bitmap path for points placing the circle's soft edge across the picture,
// an unplaced point and a point far off, and the same bytes whatever tiles and threads render it.
TEST_P(CircleBlurRecipe, MatchesTheBitmapPathAndIsTheSameInAnyTiles) {
    const CircleCase& c = GetParam();
    ScreenScale screen(2);
    const auto circle = RUXImageFromBundle(RUXCodeBundlePath(), "circle", "png", 2.0);
    ASSERT_TRUE(circle) << "the circle art is part of the build tree";
    const auto photo = detailedPhoto(c.width, c.height, c.transparentCorner);

    RUXBeautifulBlurTransformation blur;
    blur.setPoint(c.point);
    RUXImageMetadata metadata;
    metadata.setScreenScale(2);
    const auto recipe = blur.resultFromImage(photo, metadata);
    ASSERT_TRUE(recipe);
    EXPECT_EQ(recipe->extent(), photo->extent());
    const auto result = render(recipe);
    const auto expected = referenceCircleBlur(photo, c.point, circle);
    ASSERT_EQ(result->width(), expected->width());
    ASSERT_EQ(result->height(), expected->height());
    int worst = 0;
    const std::string where = worstDifference(*result, *expected, worst);
    EXPECT_LE(worst, 1) << c.name << ": " << where;

    const Graphics::Rect rect(0, 0, c.width, c.height);
    for (auto options :
         {ImageEngine::Context::RenderOptions{17, 23, 1}, ImageEngine::Context::RenderOptions{64, 40, 3},
          ImageEngine::Context::RenderOptions{1000, 1000, 2}}) {
        auto tiled = ImageEngine::Context::create(options)->createCGImage(recipe, rect);
        ASSERT_TRUE(tiled);
        for (int y = 0; y < c.height; ++y) {
            ASSERT_EQ(std::memcmp(tiled->row(y), result->row(y), std::size_t(c.width) * 4), 0)
                << c.name << ", tiles " << options.tileWidth << " x " << options.tileHeight << ", row " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    CircleBlur, CircleBlurRecipe,
    testing::Values(
        // 25 taps; the soft edge (30 % to 48 % of 1200 pixels from the point) crosses the picture.
        CircleCase{"edge across", 400, 300, {-330, 150}, false},
        CircleCase{"edge across, transparent corner", 400, 300, {-300, 40}, true},
        // Unplaced: the circle's sharp middle covers a small picture, which comes back as it was.
        CircleCase{"unplaced", 230, 170, {0, 0}, false},
        // Off the picture: blurred everywhere. A picture thinner than a tile's margin.
        CircleCase{"far off", 301, 37, {5000, -4000}, false}),
    [](const testing::TestParamInfo<CircleCase>& info) {
        std::string name = info.param.name;
        std::replace_if(
            name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }, '_');
        return name;
    });

} // namespace
