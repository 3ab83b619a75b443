// Decoding the default photo and bringing it to the editor's three sizes (scale 2).
#include <Graphics/BitmapContext.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageContext.h>
#include <Graphics/ImageFile.h>
#include <algorithm>
#include <benchmark/benchmark.h>

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
        auto context = Graphics::ImageContext::create(target, false, 2.0);
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
