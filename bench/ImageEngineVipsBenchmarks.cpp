// The simpler chain written with libvips, for comparison: blur σ 2.5, the colour chain with its
// 33³ look, the overlay and the radial-mask blend, from 8-bit sRGB to 8-bit sRGB. Built only when
// libvips is installed. libvips has no 3-D look-up, so the look is eight 1-D look-ups of the corner
// indices blended trilinearly; the rest are libvips's own operations, run by its demand-driven,
// threaded pipeline, with the steps that feed several others kept in memory.
#include "ImageEngineBenchmarkInputs.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>
#include <vips/vips8>

namespace {

using namespace EngineBench;
using vips::VImage;

VImage clampUnit(const VImage& image) {
    VImage low = (image < 0.0).ifthenelse(0.0, image);
    return (low > 1.0).ifthenelse(1.0, low);
}

VImage linearFromBitmap(const Graphics::Bitmap& bitmap) {
    VImage rgba = VImage::new_from_memory(const_cast<std::uint8_t*>(bitmap.data()),
                                          bitmap.bytesPerRow() * static_cast<std::size_t>(bitmap.height()),
                                          static_cast<int>(bitmap.bytesPerRow() / 4), bitmap.height(), 4,
                                          VIPS_FORMAT_UCHAR);
    VImage rgb = rgba.extract_area(0, 0, bitmap.width(), bitmap.height())
                     .extract_band(0, VImage::option()->set("n", 3))
                     .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return rgb.colourspace(VIPS_INTERPRETATION_scRGB);
}

void SimplerChainVips(benchmark::State& state) {
    static const bool started = VIPS_INIT("ImageEngineBenchmarks") == 0;
    if (!started) {
        state.SkipWithError("libvips did not start");
        return;
    }
    // Every iteration must do the work, not find it in libvips's operation cache.
    vips_cache_set_max(0);
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    auto source = photo(w, h);
    auto vignette = photo(kVignetteWidth, kVignetteHeight);
    const int dim = kCubeDimension;
    std::vector<float> look = lookFloats(dim), lookRgb;
    for (std::size_t i = 0; i < look.size(); i += 4)
        lookRgb.insert(lookRgb.end(), {look[i], look[i + 1], look[i + 2]});
    const double gain = std::exp2(kExposure), s = kSaturation;
    const double luma[3] = {0.2125, 0.7154, 0.0721};
    std::vector<double> colour;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            colour.push_back(gain * ((1 - s) * luma[c] + (r == c ? s : 0.0)));
    const double centreX = w / 2.0, centreY = h / 2.0, r0 = focusRadius0(h), r1 = focusRadius1(h);

    auto runOnce = [&] {
        VImage image = linearFromBitmap(*source);
        image = image.recomb(VImage::new_from_memory(colour.data(), colour.size() * sizeof(double), 3, 3, 1,
                                                     VIPS_FORMAT_DOUBLE));
        image = image.pow(kGamma);
        // The look: corner indices of the cell in sRGB-encoded colour, eight 1-D look-ups, then
        // trilinear weights.
        VImage encoded = clampUnit(image).pow(1 / 2.4) * 1.055 - 0.055;
        VImage position = encoded * static_cast<double>(dim - 1);
        VImage base = position.floor();
        base = (base > dim - 2.0).ifthenelse(dim - 2.0, base);
        // Steps feeding several others are computed once into memory, as libvips would otherwise
        // recompute them for each consumer.
        VImage fraction = (position - base).copy_memory();
        VImage index = (base[0] + base[1] * dim + base[2] * dim * dim).copy_memory();
        VImage table = VImage::new_from_memory(lookRgb.data(), lookRgb.size() * sizeof(float),
                                               dim * dim * dim, 1, 3, VIPS_FORMAT_FLOAT);
        auto corner = [&](int offset) { return (index + offset).cast(VIPS_FORMAT_USHORT).maplut(table); };
        auto mix = [](const VImage& a, const VImage& b, const VImage& t) { return a + (b - a) * t; };
        const int g = dim, b = dim * dim;
        VImage c0 = mix(mix(corner(0), corner(1), fraction[0]), mix(corner(g), corner(g + 1), fraction[0]),
                        fraction[1]);
        VImage c1 = mix(mix(corner(b), corner(b + 1), fraction[0]),
                        mix(corner(b + g), corner(b + g + 1), fraction[0]), fraction[1]);
        image = ((mix(c0, c1, fraction[2]) + 0.055) / 1.055).pow(2.4).copy_memory();
        // The overlay with the vignette scaled to the picture.
        VImage overlay =
            linearFromBitmap(*vignette).resize(static_cast<double>(w) / kVignetteWidth,
                                               VImage::option()
                                                   ->set("vscale", static_cast<double>(h) / kVignetteHeight)
                                                   ->set("kernel", VIPS_KERNEL_LINEAR));
        VImage dark = overlay * image * 2;
        VImage light = 1 - (1 - overlay) * (1 - image) * 2;
        image = (image <= 0.5).ifthenelse(dark, light).copy_memory();
        // The focus blur, reaching three standard deviations like ours, under a radial mask.
        VImage blurred = image.gaussblur(kBlurSigma, VImage::option()->set("min_ampl", 0.011));
        VImage xy = VImage::xyz(w, h);
        // Memory row y is the picture's row h − 1 − y.
        VImage dx = xy[0] + (0.5 - centreX), dy = (h - 0.5 - centreY) - xy[1];
        VImage distance = (dx * dx + dy * dy).pow(0.5);
        VImage sharp = 1 - clampUnit((distance - r0) / (r1 - r0));
        VImage focused = mix(blurred, image, sharp);
        // Back to 8-bit sRGB with alpha.
        VImage out = focused.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_scRGB))
                         .colourspace(VIPS_INTERPRETATION_sRGB)
                         .bandjoin_const({255});
        std::size_t size = 0;
        void* bytes = out.write_to_memory(&size);
        benchmark::DoNotOptimize(bytes);
        g_free(bytes);
    };
    // The first run pays for one-time set-up (code tables, thread pools); it is not timed.
    runOnce();
    ProcessorTime processorTime(state);
    for (auto _ : state)
        runOnce();
    state.SetLabel("libvips " + std::string(vips_version_string()) + ", " +
                   std::to_string(vips_concurrency_get()) + " threads");
}

BENCHMARK(SimplerChainVips)
    ->Args({1920, 1280})
    ->Args({3072, 2048})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
