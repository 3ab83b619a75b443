// Decoding the default photo and bringing it to the editor's three sizes (scale 2).
#include <Graphics/BitmapContext.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageContext.h>
#include <Graphics/ImageFile.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <lcms2.h>
#include <sys/resource.h>

namespace {

const char* const kPhoto = "/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg";

std::shared_ptr<Graphics::BitmapImage> photo() {
    static std::shared_ptr<Graphics::BitmapImage> image = Graphics::BitmapImage::createFromFile(kPhoto);
    return image;
}

void decodeJpeg(benchmark::State& state) {
    if (!photo()) {
        state.SkipWithError("the default photo is not installed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Graphics::BitmapImage::createFromFile(kPhoto));
}
BENCHMARK(decodeJpeg)->Unit(benchmark::kMillisecond);

// A 12-megapixel camera-sized JPEG (4240 × 2832 tiled from the default photo at its own detail,
// quality 92), untagged
// and tagged Display P3: the cost of colour management at open. The tagged file's transform is built
// on the first open and cached for the rest, as for a folder of photos from one camera.
std::vector<std::uint8_t> twelveMegapixelJpeg(bool tagged) {
    auto context = Graphics::ImageContext::create({4240, 2832}, Graphics::Opacity::Opaque, 1.0);
    for (double x : {0.0, 3088.0})
        for (double y : {0.0, 2056.0})
            context->drawImage(*photo(), {x, y, 3088, 2056});
    auto bitmap = context->makeImage()->bitmap();
    std::vector<std::uint8_t> jpeg = *Graphics::encodeJPEG(*bitmap, 0.92);
    // Our encoder tags sRGB: drop its APP2 markers, then put the P3 profile in their place.
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    std::size_t at = 2;
    while (jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const std::size_t end = at + 2 + ((jpeg[at + 2] << 8) | jpeg[at + 3]);
        if (jpeg[at + 1] != 0xE2)
            out.insert(out.end(), jpeg.begin() + long(at), jpeg.begin() + long(end));
        at = end;
    }
    if (tagged) {
        const cmsCIExyY white{0.3127, 0.3290, 1.0};
        const cmsCIExyYTRIPLE p3{{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
        const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
        cmsToneCurve* curves[3] = {curve, curve, curve};
        cmsHPROFILE profile = cmsCreateRGBProfile(&white, &p3, curves);
        cmsUInt32Number size = 0;
        cmsSaveProfileToMem(profile, nullptr, &size);
        std::vector<std::uint8_t> icc(size);
        cmsSaveProfileToMem(profile, icc.data(), &size);
        cmsCloseProfile(profile);
        cmsFreeToneCurve(curve);
        const std::size_t length = 2 + 14 + icc.size();
        const std::uint8_t header[18] = {0xFF,
                                         0xE2,
                                         std::uint8_t(length >> 8),
                                         std::uint8_t(length),
                                         'I',
                                         'C',
                                         'C',
                                         '_',
                                         'P',
                                         'R',
                                         'O',
                                         'F',
                                         'I',
                                         'L',
                                         'E',
                                         0,
                                         1,
                                         1};
        out.insert(out.end(), header, header + 18);
        out.insert(out.end(), icc.begin(), icc.end());
    }
    out.insert(out.end(), jpeg.begin() + long(at), jpeg.end());
    return out;
}

void decode12MegapixelJpeg(benchmark::State& state) {
    if (!photo()) {
        state.SkipWithError("the default photo is not installed");
        return;
    }
    static const std::vector<std::uint8_t> files[2] = {twelveMegapixelJpeg(false), twelveMegapixelJpeg(true)};
    const std::vector<std::uint8_t>& file = files[state.range(0)];
    // Processor time of all threads (the conversion runs on the pool), beside the wall time.
    const auto processorSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double before = processorSeconds();
    for (auto _ : state)
        benchmark::DoNotOptimize(Graphics::BitmapImage::createFromData(file.data(), file.size()));
    state.counters["allThreadsCPU_ms"] = (processorSeconds() - before) * 1000 / double(state.iterations());
    state.SetLabel(state.range(0) ? "tagged Display P3" : "untagged");
}
BENCHMARK(decode12MegapixelJpeg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Shorter side brought to maxSize points at scale 2, as the edit manager does.
void resizePhoto(benchmark::State& state) {
    auto image = photo();
    if (!image) {
        state.SkipWithError("the default photo is not installed");
        return;
    }
    const double maxSize = static_cast<double>(state.range(0));
    const Graphics::Size size = image->size();
    const double factor = std::min(1.0, std::max(maxSize / size.width, maxSize / size.height));
    const Graphics::Size target{size.width * factor, size.height * factor};
    for (auto _ : state) {
        auto context = Graphics::ImageContext::create(target, Graphics::Opacity::Translucent, 2.0);
        context->drawImage(*image, {0, 0, target.width, target.height});
        benchmark::DoNotOptimize(context->makeImage());
    }
}
BENCHMARK(resizePhoto)->Arg(1024)->Arg(640)->Arg(176)->Unit(benchmark::kMillisecond);

void encodeJpeg(benchmark::State& state) {
    auto image = photo();
    if (!image) {
        state.SkipWithError("the default photo is not installed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Graphics::encodeJPEG(*image->bitmap(), 0.92));
}
BENCHMARK(encodeJpeg)->Unit(benchmark::kMillisecond);

// A full-screen redraw's worth of anti-aliased drawing: 750 × 1334 pixels of fills and dashed strokes.
void fillAndStroke(benchmark::State& state) {
    auto context = Graphics::BitmapContext::create(750, 1334);
    for (auto _ : state) {
        context->setFillColor(Graphics::Color::fromHex(0x191919));
        context->fillRect({0, 0, 750, 1334});
        context->setStrokeColor(Graphics::Color::white());
        context->setLineWidth(2);
        context->strokeRect({1, 1, 748, 748});
        context->setLineDash(0, {3, 3});
        context->setLineCap(Graphics::LineCap::Square);
        for (int i = 1; i <= 2; ++i) {
            context->beginPath();
            context->moveToPoint({0.5, 250.0 * i + 0.5});
            context->addLineToPoint({750.5, 250.0 * i + 0.5});
            context->strokePath();
        }
        context->setLineDash(0, {});
        benchmark::DoNotOptimize(context->bitmap().data());
    }
}
BENCHMARK(fillAndStroke)->Unit(benchmark::kMillisecond);

} // namespace
