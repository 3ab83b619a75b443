// The simpler chain written with OpenCV, for comparison: blur σ 2.5, the colour chain with its 33³
// look, the overlay and the radial-mask blend, from 8-bit sRGB to 8-bit sRGB. Built only when
// OpenCV is installed. Each step uses OpenCV's own operation where it has one (look-up tables,
// colour matrix, pow, resize, Gaussian blur, linear blend) on linear float RGB, and a parallel loop
// where it has none (the 3-D look and the radial mask).
#include "ImageEngineBenchmarkInputs.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

using namespace EngineBench;

// sRGB curves as 4096-step tables with linear interpolation, for the per-pixel loops.
struct Curves {
    std::vector<float> encode, decode;
    Curves() {
        for (int i = 0; i <= 4097; ++i) {
            encode.push_back(static_cast<float>(srgbEncode(std::min(1.0, i / 4096.0))));
            decode.push_back(static_cast<float>(srgbDecode(std::min(1.0, i / 4096.0))));
        }
    }
    static float lookUp(const std::vector<float>& curve, float v) {
        v = std::clamp(v, 0.0f, 1.0f) * 4096.0f;
        int i = static_cast<int>(v);
        return curve[i] + (curve[i + 1] - curve[i]) * (v - static_cast<float>(i));
    }
};

void linearFromBitmap(const Graphics::Bitmap& bitmap, const cv::Mat& decodeTable, cv::Mat& rgb,
                      cv::Mat& linear) {
    cv::Mat rgba(bitmap.height(), bitmap.width(), CV_8UC4, const_cast<std::uint8_t*>(bitmap.data()),
                 bitmap.bytesPerRow());
    cv::cvtColor(rgba, rgb, cv::COLOR_RGBA2RGB);
    cv::LUT(rgb, decodeTable, linear);
}

void SimplerChainOpenCv(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    auto source = photo(w, h);
    auto vignette = photo(kVignetteWidth, kVignetteHeight);
    const std::vector<float> look = lookFloats(kCubeDimension);
    const Curves curves;
    cv::Mat decodeTable(1, 256, CV_32F);
    for (int i = 0; i < 256; ++i)
        decodeTable.at<float>(i) = static_cast<float>(srgbDecode(i / 255.0));
    // Exposure and saturation as one colour matrix.
    const float gain = static_cast<float>(std::exp2(kExposure)), s = static_cast<float>(kSaturation);
    const float luma[3] = {0.2125f, 0.7154f, 0.0721f};
    cv::Matx33f colour;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            colour(r, c) = gain * ((1 - s) * luma[c] + (r == c ? s : 0.0f));
    const double centreX = w / 2.0, centreY = h / 2.0, r0 = focusRadius0(h), r1 = focusRadius1(h);

    // Buffers live across iterations, as an application would keep them, so that OpenCV reuses
    // its allocations instead of faulting fresh pages in every run.
    cv::Mat rgb, image, vignetteRgb, vignetteLinear, overlay, dark, light, inverseOverlay, inverseImage;
    cv::Mat lowBackground, blurred, focused, bytes, rgba;
    cv::Mat sharpWeight(h, w, CV_32F), blurWeight(h, w, CV_32F);
    auto runOnce = [&] {
        linearFromBitmap(*source, decodeTable, rgb, image);
        cv::transform(image, image, colour);
        cv::pow(image, kGamma, image);
        // The look, trilinear in sRGB-encoded colour.
        cv::parallel_for_(cv::Range(0, h), [&](const cv::Range& rows) {
            const int dim = kCubeDimension;
            const float scale = static_cast<float>(dim - 1);
            for (int y = rows.start; y < rows.end; ++y) {
                cv::Vec3f* p = image.ptr<cv::Vec3f>(y);
                for (int x = 0; x < w; ++x) {
                    int base[3];
                    float f[3];
                    for (int c = 0; c < 3; ++c) {
                        float position = Curves::lookUp(curves.encode, p[x][c]) * scale;
                        base[c] = std::min(static_cast<int>(position), dim - 2);
                        f[c] = position - static_cast<float>(base[c]);
                    }
                    const float* corner = look.data() + ((base[2] * dim + base[1]) * dim + base[0]) * 4;
                    const int g = dim * 4, b = dim * dim * 4;
                    for (int c = 0; c < 3; ++c) {
                        float c00 = corner[c] + (corner[4 + c] - corner[c]) * f[0];
                        float c10 = corner[g + c] + (corner[g + 4 + c] - corner[g + c]) * f[0];
                        float c01 = corner[b + c] + (corner[b + 4 + c] - corner[b + c]) * f[0];
                        float c11 = corner[b + g + c] + (corner[b + g + 4 + c] - corner[b + g + c]) * f[0];
                        float c0 = c00 + (c10 - c00) * f[1], c1 = c01 + (c11 - c01) * f[1];
                        p[x][c] = Curves::lookUp(curves.decode, c0 + (c1 - c0) * f[2]);
                    }
                }
            }
        });
        // The overlay with the vignette scaled to the picture.
        linearFromBitmap(*vignette, decodeTable, vignetteRgb, vignetteLinear);
        cv::resize(vignetteLinear, overlay, cv::Size(w, h), 0, 0, cv::INTER_LINEAR);
        cv::multiply(overlay, image, dark, 2.0);
        cv::subtract(cv::Scalar::all(1), overlay, inverseOverlay);
        cv::subtract(cv::Scalar::all(1), image, inverseImage);
        cv::multiply(inverseOverlay, inverseImage, light, -2.0);
        cv::add(light, cv::Scalar::all(1), light);
        cv::compare(image, cv::Scalar::all(0.5), lowBackground, cv::CMP_LE);
        light.copyTo(image);
        dark.copyTo(image, lowBackground);
        // The focus blur: blurred copy, radial mask, blend.
        cv::GaussianBlur(image, blurred, cv::Size(17, 17), kBlurSigma, kBlurSigma, cv::BORDER_REPLICATE);
        cv::parallel_for_(cv::Range(0, h), [&](const cv::Range& rows) {
            for (int y = rows.start; y < rows.end; ++y) {
                float* sharp = sharpWeight.ptr<float>(y);
                float* blur = blurWeight.ptr<float>(y);
                // Memory row y is the picture's row h − 1 − y.
                const double dy = (h - 1 - y) + 0.5 - centreY;
                for (int x = 0; x < w; ++x) {
                    double d = std::hypot(x + 0.5 - centreX, dy);
                    float t = static_cast<float>(std::clamp((d - r0) / (r1 - r0), 0.0, 1.0));
                    sharp[x] = 1 - t;
                    blur[x] = t;
                }
            }
        });
        cv::blendLinear(image, blurred, sharpWeight, blurWeight, focused);
        // Back to 8-bit sRGB with alpha.
        cv::max(focused, 0, focused);
        cv::min(focused, 1, focused);
        cv::pow(focused, 1 / 2.4, focused);
        focused.convertTo(bytes, CV_8U, 255 * 1.055, -255 * 0.055);
        cv::cvtColor(bytes, rgba, cv::COLOR_RGB2RGBA);
        benchmark::DoNotOptimize(rgba.data);
    };
    // The first run pays for one-time set-up (code tables, thread pools); it is not timed.
    runOnce();
    ProcessorTime processorTime(state);
    for (auto _ : state)
        runOnce();
    state.SetLabel("OpenCV " CV_VERSION ", " + std::to_string(cv::getNumThreads()) + " threads");
}

BENCHMARK(SimplerChainOpenCv)
    ->Args({1920, 1280})
    ->Args({3072, 2048})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
