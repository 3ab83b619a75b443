// rux-render: edits a photo through the edit manager exactly as the editor's screens would, with
// no user interface, and writes the result.

#include "Batch.h"
#include "Edits.h"
#include "Options.h"
#include "Output.h"

#include <Common/InstructionSetSetting.h>
#include <Common/RecipeFile.h>
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Bundle.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoOutput.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXPipelineRender.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace RenderTool;

namespace {

// A fresh formula for each run, so that no run reuses another's bitmap.
RUXRenderFormulaPtr formulaForResolution(const std::string& resolution, RUXEditManager& manager) {
    if (resolution == "full" || resolution == "original") {
        return manager.resultantImage();
    }
    if (resolution == "thumbnail") {
        auto look = manager.committedTransformationWithType(RUXTransformationTypeFilter);
        if (!look) {
            look = RUXFilterIdentity::classDescriptor().create();
        }
        manager.resetThumbnailCache();
        return manager.thumbnailPreviewImageWithTransformation(look);
    }
    auto formula = manager.committedImage();
    return RUXRenderFormula::create(formula->originalImage(), *formula->transformations());
}

// The processor time of the whole process (every thread) so far, in milliseconds: beside the wall
// time it shows how much of a render ran in parallel and what it costs on a busy machine.
double processCpuMilliseconds() {
    timespec now{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) {
        return 0;
    }
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

RUXOutputResolution outputResolution(const Options& options) {
    return options.resolution == "original" ? RUXOutputResolution::Original : RUXOutputResolution::Limited;
}

RenderTool::SaveOptions saveOptionsOf(const Options& options) {
    return {options.quality, options.stripMetadata};
}

} // namespace

// Every input edited alike and written into the output folder. Each photo is edited and rendered on
// its batch thread, at one thread per render, with no edit manager and no hop to the main thread.
int runBatch(const Options& options) {
    const RUXRenderResolution resolution =
        RUXRenderResolutionNamed(options.resolution).value_or(RUXRenderResolution::Full);
    auto render = [&](std::shared_ptr<const Graphics::BitmapImage> photo,
                      std::string& error) -> std::shared_ptr<const Graphics::BitmapImage> {
        auto edit = RUXPipelineEdit::create(std::move(photo), options.scale, 1);
        auto renderFormula = [&](const RUXRenderFormulaPtr& formula) { return edit->renderedImage(formula); };
        if (!applyEdits(options, *edit, renderFormula, error)) {
            return nullptr;
        }
        return edit->render(resolution);
    };
    const RenderTool::SaveOptions saveOptions = saveOptionsOf(options);
    // Named after the shard, so that --resume finds what a killed run of this shard left.
    auto save = [saveOptions, tag = options.batchOptions.temporaryTag](
                    const Graphics::BitmapImage& image, const std::string& input, const std::string& output,
                    std::string& error) {
        return RenderTool::saveRenderedImage(image, input, output, saveOptions, error, tag);
    };
    return RenderTool::runBatch(options.batchOptions, render, save);
}

int main(int argc, char** argv) {
    Options options;
    if (auto exitCode = parse(argc, argv, options)) {
        return *exitCode;
    }
    Graphics::setMainScreenScale(options.scale);
    const char* instructionSet = HostSettings::applyInstructionSetSetting("rux-render");
    if (options.batch) {
        return runBatch(options);
    }

    // Decoded no larger than the pictures it is asked for: the screen pictures now, the output
    // picture when it is rendered.
    auto photo = Graphics::BitmapImage::createFromFileLazily(options.input);
    auto manager = photo ? RUXEditManager::create(photo, outputResolution(options)) : nullptr;
    if (!manager || !manager->lowResImage()) {
        std::fprintf(stderr, "rux-render: cannot read the image %s\n", options.input.c_str());
        return kExitFailure;
    }
    auto renderer = RUXImageRenderer::create();
    std::string editError;
    if (!applyEdits(
            options, *manager,
            [&](const RUXRenderFormulaPtr& formula) { return renderer->renderedImage(formula); },
            editError)) {
        std::fprintf(stderr, "rux-render: %s\n", editError.c_str());
        return kExitFailure;
    }

    std::vector<double> times, cpuTimes;
    std::shared_ptr<const Graphics::BitmapImage> rendered;
    for (int run = 0; run < options.repeat; ++run) {
        auto formula = formulaForResolution(options.resolution, *manager);
        auto start = std::chrono::steady_clock::now();
        double cpuStart = processCpuMilliseconds();
        rendered = renderer->renderedImage(formula);
        cpuTimes.push_back(processCpuMilliseconds() - cpuStart);
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        if (!rendered) {
            std::fprintf(stderr, "rux-render: the edited picture could not be rendered\n");
            return kExitFailure;
        }
    }
    std::string error;
    if (!RenderTool::saveRenderedImage(*rendered, options.input, options.output, saveOptionsOf(options),
                                       error)) {
        std::fprintf(stderr, "rux-render: %s\n", error.c_str());
        return kExitFailure;
    }
    if (!options.saveRecipePath.empty()) {
        auto recipe = manager->recipe();
        if (!recipe || !RecipeFile::write(*recipe, options.saveRecipePath, error)) {
            std::fprintf(stderr, "rux-render: %s\n",
                         recipe ? error.c_str() : "the edits cannot be written as a recipe");
            return kExitFailure;
        }
    }
    if (options.time) {
        std::printf("render: %.1f ms (%zu runs)\n", median(times), times.size());
        std::printf("render cpu: %.1f ms (all threads, median)\n", median(cpuTimes));
        std::printf("instruction set: %s\n", instructionSet);
    }
    return 0;
}
