// Engine chains built by hand at screen and full size: the simpler chain the OpenCV and libvips
// runs repeat, each filter alone, and the bandwidth floor. The lists the editor commits are
// measured through the edit manager in RealPathBenchmarks.
#include "ImageEngineBenchmarkInputs.h"

#include <ImageEngine/Context.h>
#include <ImageEngine/Filter.h>
#include <ImageEngine/FilterNames.h>
#include <ImageEngine/Image.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <vector>

using namespace ImageEngine;
using Graphics::AffineTransform;
using Graphics::Rect;

namespace {

using EngineBench::photo;

ImagePtr apply(FilterName name, std::initializer_list<std::pair<InputKey, FilterValue>> inputs) {
    auto filter = Filter::create(name);
    for (const auto& [key, value] : inputs)
        filter->setValue(key, value);
    return filter->outputImage();
}

Data lookTable(int dimension) {
    std::vector<float> floats = EngineBench::lookFloats(dimension);
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(floats.size() * sizeof(float));
    std::memcpy(bytes->data(), floats.data(), bytes->size());
    return bytes;
}

ImagePtr colourChain(ImagePtr image) {
    image = apply(Filters::exposureAdjust, {{Inputs::image, image}, {Inputs::ev, EngineBench::kExposure}});
    image = apply(Filters::colorControls,
                  {{Inputs::image, image}, {Inputs::saturation, EngineBench::kSaturation}});
    image = apply(Filters::gammaAdjust, {{Inputs::image, image}, {Inputs::power, EngineBench::kGamma}});
    return apply(Filters::colorCubeWithColorSpace,
                 {{Inputs::image, image},
                  {Inputs::cubeDimension, double(EngineBench::kCubeDimension)},
                  {Inputs::cubeData, lookTable(EngineBench::kCubeDimension)},
                  {Inputs::colorSpace, Graphics::ColorSpace::DeviceRGB}});
}

ImagePtr overlayAndFocus(ImagePtr image) {
    Rect extent = image->extent();
    using EngineBench::kVignetteHeight, EngineBench::kVignetteWidth;
    auto vignette = Image::createWithBitmap(photo(kVignetteWidth, kVignetteHeight));
    auto scaled = vignette->imageByApplyingTransform(
        AffineTransform::makeScale(extent.width() / kVignetteWidth, extent.height() / kVignetteHeight));
    image = apply(Filters::overlayBlendMode, {{Inputs::image, scaled}, {Inputs::backgroundImage, image}});
    auto clamp = apply(Filters::affineClamp,
                       {{Inputs::image, image}, {Inputs::transform, AffineTransform::identity()}});
    auto blurred =
        apply(Filters::gaussianBlur, {{Inputs::image, clamp}, {Inputs::radius, EngineBench::kBlurSigma}})
            ->imageByCroppingToRect(extent);
    auto mask =
        apply(Filters::radialGradient, {{Inputs::center, Vector::make(extent.midX(), extent.midY())},
                                        {Inputs::radius0, EngineBench::focusRadius0(int(extent.height()))},
                                        {Inputs::radius1, EngineBench::focusRadius1(int(extent.height()))},
                                        {Inputs::color0, Color{0, 1, 0, 1}},
                                        {Inputs::color1, Color{0, 1, 0, 0}}})
            ->imageByCroppingToRect(extent);
    return apply(Filters::blendWithMask,
                 {{Inputs::image, image}, {Inputs::backgroundImage, blurred}, {Inputs::maskImage, mask}});
}

void render(benchmark::State& state, const ImagePtr& image) {
    auto context = Context::create();
    // The first render grows each worker's scratch buffers; the editor renders again and again, so
    // the steady state is what counts.
    benchmark::DoNotOptimize(context->createCGImage(image, image->extent()));
    EngineBench::ProcessorTime processorTime(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(context->createCGImage(image, image->extent()));
}

// Blur σ 2.5 + colour chain + overlay + radial-mask blend (no geometry).
void SimplerChain(benchmark::State& state) {
    render(state, overlayAndFocus(colourChain(Image::createWithBitmap(
                      photo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))))));
}

void PerPixelChain(benchmark::State& state) {
    render(state, colourChain(Image::createWithBitmap(
                      photo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))))));
}

void Blur(benchmark::State& state) {
    auto image =
        Image::createWithBitmap(photo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    auto clamp = apply(Filters::affineClamp,
                       {{Inputs::image, image}, {Inputs::transform, AffineTransform::identity()}});
    render(state, apply(Filters::gaussianBlur, {{Inputs::image, clamp}, {Inputs::radius, 2.5}})
                      ->imageByCroppingToRect(image->extent()));
}

void SourceOnly(benchmark::State& state) {
    render(state, Image::createWithBitmap(
                      photo(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))));
}

// One filter over the source, so that its cost is this minus SourceOnly.
void SingleFilter(benchmark::State& state) {
    const int w = 1920, h = 1280;
    auto image = Image::createWithBitmap(photo(w, h));
    Rect extent = image->extent();
    auto vignette = Image::createWithBitmap(photo(600, 400));
    ImagePtr filtered;
    switch (state.range(0)) {
    case 0:
        state.SetLabel("exposure");
        filtered = apply(Filters::exposureAdjust, {{Inputs::image, image}, {Inputs::ev, 0.3}});
        break;
    case 1:
        state.SetLabel("saturation");
        filtered = apply(Filters::colorControls, {{Inputs::image, image}, {Inputs::saturation, 1.2}});
        break;
    case 2:
        state.SetLabel("gamma");
        filtered = apply(Filters::gammaAdjust, {{Inputs::image, image}, {Inputs::power, 1.21}});
        break;
    case 3:
        state.SetLabel("cube 33");
        filtered =
            apply(Filters::colorCubeWithColorSpace, {{Inputs::image, image},
                                                     {Inputs::cubeDimension, 33.0},
                                                     {Inputs::cubeData, lookTable(33)},
                                                     {Inputs::colorSpace, Graphics::ColorSpace::DeviceRGB}});
        break;
    case 4:
        state.SetLabel("quarter turn + crop + move");
        filtered = Image::createWithBitmap(photo(h + 8, w + 8))
                       ->imageByApplyingTransform(AffineTransform::makeRotation(-M_PI / 2))
                       ->imageByCroppingToRect(Rect(4, -(h + 4), w, h))
                       ->imageByApplyingTransform(AffineTransform::makeTranslation(-4, h + 4));
        break;
    case 5:
        state.SetLabel("overlay with scaled vignette");
        filtered =
            apply(Filters::overlayBlendMode,
                  {{Inputs::image,
                    vignette->imageByApplyingTransform(AffineTransform::makeScale(w / 600.0, h / 400.0))},
                   {Inputs::backgroundImage, image}});
        break;
    case 6:
        state.SetLabel("clamp + blur 2.5 + crop");
        filtered = apply(Filters::gaussianBlur,
                         {{Inputs::image,
                           apply(Filters::affineClamp,
                                 {{Inputs::image, image}, {Inputs::transform, AffineTransform::identity()}})},
                          {Inputs::radius, 2.5}})
                       ->imageByCroppingToRect(extent);
        break;
    case 7:
        state.SetLabel("radial gradient mask");
        filtered =
            apply(Filters::radialGradient, {{Inputs::center, Vector::make(extent.midX(), extent.midY())},
                                            {Inputs::radius0, extent.height() / 6},
                                            {Inputs::radius1, extent.height() / 3},
                                            {Inputs::color0, Color{0, 1, 0, 1}},
                                            {Inputs::color1, Color{0, 1, 0, 0}}})
                ->imageByCroppingToRect(extent);
        break;
    default:
        state.SetLabel("blend with mask (image over itself turned)");
        filtered = apply(Filters::blendWithMask,
                         {{Inputs::image, image},
                          {Inputs::backgroundImage,
                           image->imageByApplyingTransform(AffineTransform::makeScale(-1, 1))
                               ->imageByApplyingTransform(AffineTransform::makeTranslation(w, 0))},
                          {Inputs::maskImage, image}});
        break;
    }
    render(state, filtered);
}

void Memcpy(benchmark::State& state) {
    std::size_t bytes = static_cast<std::size_t>(state.range(0) * state.range(1) * 4);
    std::vector<std::uint8_t> a(bytes, 1), b(bytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
    }
}

#define SIZES Args({1920, 1280})->Args({3072, 2048})->Unit(benchmark::kMillisecond)->UseRealTime()
BENCHMARK(SimplerChain)->SIZES;
BENCHMARK(PerPixelChain)->SIZES;
BENCHMARK(Blur)->SIZES;
BENCHMARK(SourceOnly)->SIZES;
BENCHMARK(Memcpy)->SIZES;
BENCHMARK(SingleFilter)->DenseRange(0, 8)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
