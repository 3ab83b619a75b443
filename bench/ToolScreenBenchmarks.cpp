// The brightness screen as the user drives it: a finger moves the slider's thumb one step, and the
// time runs until that step's high-quality preview is set on the screen's image view. At the main
// screen's scale of 2, over a 3072 × 2048 photo with a look and a focus blur committed.

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Bundle.h>
#include <Foundation/RunLoop.h>
#include <Hosts/HeadlessHost.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXFilters.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <optional>

namespace {

std::shared_ptr<Graphics::Bitmap> photo(int w, int h) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (int x = 0; x < w; ++x) {
            row[4 * x] = std::uint8_t(x * 3 + y);
            row[4 * x + 1] = std::uint8_t(y * 5);
            row[4 * x + 2] = std::uint8_t((x * y) >> 4);
            row[4 * x + 3] = 255;
        }
    }
    return bitmap;
}

// The brightness screen presented on a 320 × 568 screen, with a finger already dragging the thumb.
// Made once for the whole run: the host lives on the main thread, which runs the benchmarks.
struct BrightnessScene {
    BrightnessScene() {
        Graphics::setMainScreenScale(2);
        Foundation::Bundle::setMainBundlePath(RUX_SOURCE_RESOURCES_DIR);
        host = Hosts::HeadlessHost::create({320, 568}, 2);
        root = Toolkit::ViewController::create();
        host->application().setRootViewController(root);
        manager = RUXEditManager::create(Graphics::BitmapImage::create(photo(3072, 2048)));
        manager->commitTransformation(std::make_shared<RUXFilterVivid>());
        manager->commitTransformation(std::make_shared<RUXBlurTransformation>());
        renderer = RUXImageRenderer::create();
        screen = RUXBrightnessViewController::createWithConfiguration(
            std::make_shared<RUXImageEditorSampleConfiguration>(), manager, renderer);
        root->presentViewController(screen, Toolkit::Animated::No);
        host->runUntilIdle();
        // The thumb rests in the middle of the band (0, 440, 320, 80); move past the drag slop.
        host->touchDown(1, {160, 480});
        host->touchMove(1, {180, 480});
        host->runUntilIdle();
    }
    std::unique_ptr<Hosts::HeadlessHost> host;
    std::shared_ptr<Toolkit::ViewController> root;
    std::shared_ptr<RUXEditManager> manager;
    std::shared_ptr<RUXImageRenderer> renderer;
    std::shared_ptr<RUXBrightnessViewController> screen;
};

BrightnessScene& brightnessScene() {
    // Never destroyed: tearing the host down during static destruction would race the pool.
    static BrightnessScene* scene = new BrightnessScene;
    return *scene;
}

void BrightnessScreenDragStepToPreview(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    BrightnessScene& scene = brightnessScene();
    const auto& imageView = scene.screen->imageView();
    double x = 180;
    // Where the time goes: handling the touch (up to the request), rendering, and handing over.
    double touchSeconds = 0, renderSeconds = 0;
    for (auto _ : state) {
        x = x >= 260 ? 100 : x + 13;
        const auto start = Clock::now();
        scene.host->touchMove(1, {x, 480});
        const auto touched = Clock::now();
        const RUXRenderFormulaPtr requested = imageView->lastImage();
        std::optional<Clock::time_point> rendered;
        const bool shown = Foundation::RunLoop::main().runUntil(
            [&] {
                if (!rendered && requested && requested->renderedImage()) {
                    rendered = Clock::now();
                }
                return requested && imageView->image() && imageView->image() == requested->renderedImage();
            },
            std::chrono::seconds(60));
        const auto end = Clock::now();
        if (!shown) {
            state.SkipWithError("the preview never arrived");
            break;
        }
        touchSeconds += std::chrono::duration<double>(touched - start).count();
        renderSeconds += std::chrono::duration<double>(rendered.value_or(end) - touched).count();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["touch_ms"] = benchmark::Counter(touchSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.counters["render_ms"] =
        benchmark::Counter(renderSeconds * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BrightnessScreenDragStepToPreview)
    ->UseManualTime()
    ->Iterations(5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The same preview formula rendered on the calling thread, for comparison with the background path.
void BrightnessPreviewRenderedOnTheCallingThread(benchmark::State& state) {
    BrightnessScene& scene = brightnessScene();
    const auto& brightness = scene.screen->transformation();
    int step = 0;
    for (auto _ : state) {
        brightness->setValue(float(++step % 40) / 20.0f - 1.0f);
        auto formula = scene.manager->highQualityPreviewImageWithTransformation(brightness);
        benchmark::DoNotOptimize(scene.renderer->renderedImage(formula));
    }
}
BENCHMARK(BrightnessPreviewRenderedOnTheCallingThread)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace
