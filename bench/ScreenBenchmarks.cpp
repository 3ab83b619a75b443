// The editor's screens at the main screen's scale of 2, over a 3072 × 2048 photo with a look and a
// focus blur committed: a slider step until its preview is on the image view, the look strip's
// fourteen thumbnails after the main screen appears, Save's full-resolution render, and opening
// the editor on a 12-megapixel JPEG. Each is timed per run and reported as the median of several
// runs; the photo is the default one when it is installed, else a synthetic one. The CPU column is
// the whole process's (every pool thread's) time, which on a machine shared with other work says
// more about the cost than the wall time does.

#include <Foundation/Bundle.h>
#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <Graphics/ImageContext.h>
#include <Graphics/ImageFile.h>
#include <Hosts/HeadlessHost.h>
#include <Toolkit/NavigationController.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <View/RUXMainViewController.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kDefaultPhoto = "/usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg";

// A photo of size, drawn from the default photo when there is one (real content decodes and
// compresses as photos do), else a synthetic pattern.
std::shared_ptr<Graphics::BitmapImage> photoOfSize(int w, int h) {
    auto context = Graphics::ImageContext::create({double(w), double(h)}, Graphics::Opacity::Opaque, 1.0);
    if (auto source = Graphics::BitmapImage::createFromFile(kDefaultPhoto)) {
        context->drawImage(*source, {0, 0, double(w), double(h)});
        return context->makeImage();
    }
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
    return Graphics::BitmapImage::create(std::move(bitmap));
}

const std::shared_ptr<Graphics::BitmapImage>& benchmarkPhoto() {
    static const auto photo = photoOfSize(3072, 2048);
    return photo;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void runUntil(const std::function<bool()>& condition) {
    Foundation::RunLoop::main().runUntil(condition, std::chrono::seconds(60));
}

// The editor shown on a headless screen with a look and a focus blur committed.
struct EditorOnScreen {
    explicit EditorOnScreen(Graphics::Size screen = Hosts::HeadlessHost::defaultPointSize) {
        Foundation::Bundle::setMainBundlePath(RUX_SOURCE_RESOURCES_DIR);
        Graphics::setMainScreenScale(2);
        host = Hosts::HeadlessHost::create(screen, 2);
        editor = RUXMainViewController::create(benchmarkPhoto());
        editor->setConfiguration(std::make_shared<RUXImageEditorSampleConfiguration>());
        editor->editManager()->commitTransformation(std::make_shared<RUXFilterVivid>());
        editor->editManager()->commitTransformation(std::make_shared<RUXBlurTransformation>());
        navigation = Toolkit::NavigationController::create(editor);
    }
    void show() {
        host->application().setRootViewController(navigation);
        host->runUntilIdle();
    }
    std::unique_ptr<Hosts::HeadlessHost> host;
    std::shared_ptr<RUXMainViewController> editor;
    std::shared_ptr<Toolkit::NavigationController> navigation;
};

// One slider step of the brightness screen: the working copy changes, its preview formula goes
// to the image view's background path, and the time runs until the picture is set on the view.
void SliderStepToPreview(benchmark::State& state) {
    EditorOnScreen screen;
    screen.show();
    auto brightness = std::static_pointer_cast<RUXScalarTransformation>(
        screen.editor->editManager()->getOrCreateTransformationWithClass(
            RUXBrightnessTransformation::classDescriptor()));
    const auto& view = screen.editor->imageView();
    int step = 0;
    for (auto _ : state) {
        brightness->setValue(float(++step % 40) / 20.0f - 1.0f);
        const auto start = Clock::now();
        auto formula = screen.editor->editManager()->highQualityPreviewImageWithTransformation(brightness);
        view->renderAndShowImageAsync(formula);
        runUntil([&] { return view->image() && view->image() == formula->renderedImage(); });
        state.SetIterationTime(secondsSince(start));
    }
}
BENCHMARK(SliderStepToPreview)
    ->UseManualTime()
    ->MeasureProcessCPUTime()
    ->Iterations(5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// From the main screen starting to appear until every thumbnail of the strip has been rendered
// and handed to its cell. The screen is wide enough (900 points) to show all fourteen.
void ThumbnailStripShown(benchmark::State& state) {
    for (auto _ : state) {
        EditorOnScreen screen({900, 667});
        const auto& manager = screen.editor->editManager();
        const auto start = Clock::now();
        screen.host->application().setRootViewController(screen.navigation);
        const auto& looks = screen.editor->filterBar()->filters();
        runUntil([&] {
            for (const auto& look : looks) {
                if (!manager->thumbnailPreviewImageWithTransformation(look)->renderedImage()) {
                    return false;
                }
            }
            // Rendered; the hand-over to the cells is queued before a task counts as finished.
            return Foundation::globalQueueUnfinishedTaskCount() == 0;
        });
        Foundation::RunLoop::main().runUntilIdle();
        state.SetIterationTime(secondsSince(start));
        screen.host->runUntilIdle();
    }
}
BENCHMARK(ThumbnailStripShown)
    ->UseManualTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

class DiscardingDelegate : public RUXImageEditorViewControllerDelegate {
public:
    void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController&, std::shared_ptr<const Graphics::BitmapImage> image) override {
        benchmark::DoNotOptimize(image.get());
    }
    void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController&) override {}
};

// Save: the full-resolution render on the main thread and the hand-over to the delegate.
void SaveFullResolution(benchmark::State& state) {
    EditorOnScreen screen;
    screen.show();
    auto delegate = std::make_shared<DiscardingDelegate>();
    screen.editor->setDelegate(delegate);
    for (auto _ : state) {
        screen.editor->didPressNextButton();
    }
}
BENCHMARK(SaveFullResolution)
    ->MeasureProcessCPUTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// Opening the editor on a 12-megapixel JPEG: decoding it and the three resizes.
void OpenEditorOn12MegapixelJpeg(benchmark::State& state) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "rux-bench-12mp.jpg";
    if (!std::filesystem::exists(file)) {
        auto photo = photoOfSize(4000, 3000);
        Graphics::writeImageFile(*photo->bitmap(), file.string(), 0.9);
    }
    Graphics::setMainScreenScale(2);
    for (auto _ : state) {
        auto photo = Graphics::BitmapImage::createFromFile(file.string());
        auto editor = RUXMainViewController::create(photo);
        benchmark::DoNotOptimize(editor->editManager()->fullImage().get());
    }
}
BENCHMARK(OpenEditorOn12MegapixelJpeg)
    ->MeasureProcessCPUTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace
