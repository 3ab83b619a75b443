// The editing core's hot paths: the circle blur's processor-side convolution, the render of a
// screen-size picture with a look and a focus blur, and the filter strip's thumbnails.

#include <Foundation/Bundle.h>
#include <Graphics/PhotoOutput.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

std::shared_ptr<Graphics::Bitmap> photo(int w, int h) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (int x = 0; x < w; ++x) {
            row[4 * x] = std::uint8_t(x);
            row[4 * x + 1] = std::uint8_t(y);
            row[4 * x + 2] = std::uint8_t(x ^ y);
            row[4 * x + 3] = 255;
        }
    }
    return bitmap;
}

void CircleBlurConvolution(benchmark::State& state) {
    const int w = int(state.range(0)), h = w * 2 / 3;
    auto source = photo(w, h);
    auto kernel =
        RUXBeautifulBlurTransformation::kernelOfSize(RUXBeautifulBlurTransformation::kernelSizeForSize(w, h));
    for (auto _ : state) {
        auto bitmap = source->copy();
        RUXBeautifulBlurTransformation::convolve(*bitmap, kernel);
        benchmark::DoNotOptimize(bitmap->data());
    }
    state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(CircleBlurConvolution)->Arg(640)->Arg(1920)->Unit(benchmark::kMillisecond);

void ScreenRenderWithLookAndFocusBlur(benchmark::State& state) {
    Graphics::setMainScreenScale(2);
    auto manager = RUXEditManager::create(Graphics::BitmapImage::create(photo(3072, 2048)));
    manager->commitTransformation(std::make_shared<RUXFilterVivid>());
    manager->commitTransformation(std::make_shared<RUXBlurTransformation>());
    auto renderer = RUXImageRenderer::create();
    for (auto _ : state) {
        auto committed = manager->committedImage();
        auto formula = RUXRenderFormula::create(committed->originalImage(), *committed->transformations());
        benchmark::DoNotOptimize(renderer->renderedImage(formula));
    }
}
BENCHMARK(ScreenRenderWithLookAndFocusBlur)->Unit(benchmark::kMillisecond);

// What filling the strip costs once its cache is emptied (after a turn or a crop): every look's
// thumbnail formula built and rendered, with the looks' tables already loaded.
void ThumbnailsOfEveryLook(benchmark::State& state) {
    Graphics::setMainScreenScale(2);
    Foundation::Bundle::setMainBundlePath(RUX_SOURCE_RESOURCES_DIR);
    auto manager = RUXEditManager::create(Graphics::BitmapImage::create(photo(3072, 2048)));
    auto renderer = RUXImageRenderer::create();
    std::vector<RUXTransformationPtr> looks{std::make_shared<RUXFilterIdentity>()};
    for (const RUXClass* look : RUXOfferedLookClasses()) {
        looks.push_back(look->create());
    }
    for (const auto& look : looks) {
        renderer->renderedImage(manager->thumbnailPreviewImageWithTransformation(look));
    }
    for (auto _ : state) {
        manager->resetThumbnailCache();
        for (const auto& look : looks) {
            benchmark::DoNotOptimize(
                renderer->renderedImage(manager->thumbnailPreviewImageWithTransformation(look)));
        }
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(looks.size()));
}
BENCHMARK(ThumbnailsOfEveryLook)->Unit(benchmark::kMillisecond);

// Save at the photo's own size, 24 megapixels (6000 × 4000): a look, a brightness change and a focus
// blur committed, the result rendered and encoded as JPEG at quality 92 with the photo's metadata
// path (none here). The process's peak resident memory is reported alongside.
void SaveAtOriginalSize24Megapixels(benchmark::State& state) {
    Graphics::setMainScreenScale(2);
    Foundation::Bundle::setMainBundlePath(RUX_SOURCE_RESOURCES_DIR);
    auto manager = RUXEditManager::create(Graphics::BitmapImage::create(photo(6000, 4000)),
                                          RUXOutputResolution::Original);
    manager->commitTransformation(std::make_shared<RUXFilterVivid>());
    auto brightness = std::static_pointer_cast<RUXScalarTransformation>(
        manager->getOrCreateTransformationWithClass(RUXBrightnessTransformation::classDescriptor()));
    brightness->setValue(0.3f);
    manager->commitTransformation(brightness);
    manager->commitTransformation(std::make_shared<RUXBlurTransformation>());
    auto renderer = RUXImageRenderer::create();
    for (auto _ : state) {
        auto rendered = renderer->renderedImage(manager->resultantImage());
        if (!rendered) {
            state.SkipWithError("the save render failed");
            return;
        }
        benchmark::DoNotOptimize(
            Graphics::encodePhoto(*rendered->bitmap(), Graphics::ImageFileType::JPEG, {}));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peakRSS_MB"] = double(usage.ru_maxrss) / 1024;
}
BENCHMARK(SaveAtOriginalSize24Megapixels)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
