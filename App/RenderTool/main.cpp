// rux-render: edits a photo through the edit manager exactly as the editor's screens would, with
// no user interface, and writes the result.

#include "Batch.h"
#include "Options.h"
#include "Output.h"

#include <Common/RecipeFile.h>
#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Bundle.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoOutput.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXTransformationRegistry.h>
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

// goes first, committed as one step.
bool applyEdits(const Options& options, RUXEditManager& manager, RUXImageRenderer& renderer) {
    if (options.recipe && !manager.applyRecipe(*options.recipe)) {
        std::fprintf(stderr, "rux-render: the recipe could not be applied\n");
        return false;
    }
    std::shared_ptr<RUXRotateTransformation> rotate;
    auto commitRotate = [&] {
        if (rotate) {
            manager.commitTransformation(rotate);
            rotate.reset();
        }
    };
    for (const Edit& edit : options.edits) {
        if (edit.kind != Edit::Kind::Rotate && edit.kind != Edit::Kind::Flip) {
            commitRotate();
        }
        switch (edit.kind) {
        case Edit::Kind::Rotate:
        case Edit::Kind::Flip:
            if (!rotate) {
                rotate = std::static_pointer_cast<RUXRotateTransformation>(
                    manager.getOrCreateTransformationWithClass(RUXRotateTransformation::classDescriptor()));
            }
            if (edit.kind == Edit::Kind::Rotate) {
                edit.text == "cw" ? rotate->rotateClockwise90Degrees()
                                  : rotate->rotateCounterClockwise90Degrees();
            } else {
                edit.text == "h" ? rotate->flipHorizontal() : rotate->flipVertical();
            }
            break;
        case Edit::Kind::Crop: {
            // The picture the crop screen frames: geometry and colour, no crop.
            std::vector<const RUXClass*> framed{&RUXRotateTransformation::classDescriptor(),
                                                &RUXNormalizeTransformation::classDescriptor()};
            for (const RUXClass* colour : RUXTransformationRegistry::classesOfFamily(RUXEditFamily::Colour)) {
                framed.push_back(colour);
            }
            auto formula = manager.imageWithTransformationClasses(framed);
            auto picture = renderer.renderedImage(formula);
            if (!picture) {
                std::fprintf(stderr, "rux-render: could not render the picture to crop\n");
                return false;
            }
            const double w = picture->bitmap()->width(), h = picture->bitmap()->height();
            const auto& f = edit.numbers;
            auto crop = std::static_pointer_cast<RUXCropTransformation>(
                manager.getOrCreateTransformationWithClass(RUXCropTransformation::classDescriptor()));
            crop->setCropRect(Graphics::Rect(f[0] * w, h - f[1] * h - f[3] * h, f[2] * w, f[3] * h),
                              Graphics::Rect(0, 0, w, h), *formula->metadata());
            manager.commitTransformation(crop);
            break;
        }
        case Edit::Kind::Parameter: {
            // As the edit's screen does: a working copy of the committed one (or a new one), the
            // value set, then committed.
            auto t = manager.getOrCreateTransformationWithClass(*edit.declaration->transformationClass);
            RUXApplyFlagValue(*edit.declaration, *edit.parameter, *t, edit.numbers);
            manager.commitTransformation(t);
            break;
        }
        case Edit::Kind::Look:
            // The filter strip commits its own instance of the look.
            manager.commitTransformation(lookClassNamed(edit.text)->create());
            break;
        case Edit::Kind::LookFile:
            manager.commitTransformation(options.lookFiles[std::size_t(edit.numbers[0])]);
            break;
        }
    }
    commitRotate();
    return true;
}

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

// Every input edited alike and written into the output folder.
int runBatch(const Options& options) {
    auto renderer = RUXImageRenderer::create();
    auto prepare = [&](std::shared_ptr<const Graphics::BitmapImage> photo,
                       std::string&) -> RUXRenderFormulaPtr {
        auto manager = RUXEditManager::create(std::move(photo), outputResolution(options));
        return applyEdits(options, *manager, *renderer) ? formulaForResolution(options.resolution, *manager)
                                                        : nullptr;
    };
    const RenderTool::SaveOptions saveOptions = saveOptionsOf(options);
    auto save = [saveOptions](const Graphics::BitmapImage& image, const std::string& input,
                              const std::string& output, std::string& error) {
        return RenderTool::saveRenderedImage(image, input, output, saveOptions, error);
    };
    return RenderTool::runBatch(options.batchOptions, prepare, save);
}

int main(int argc, char** argv) {
    Options options;
    if (auto exitCode = parse(argc, argv, options)) {
        return *exitCode;
    }
    Graphics::setMainScreenScale(options.scale);
    if (options.batch) {
        return runBatch(options);
    }

    auto photo = Graphics::BitmapImage::createFromFile(options.input);
    if (!photo) {
        std::fprintf(stderr, "rux-render: cannot read the image %s\n", options.input.c_str());
        return kExitFailure;
    }
    auto manager = RUXEditManager::create(photo, outputResolution(options));
    auto renderer = RUXImageRenderer::create();
    if (!applyEdits(options, *manager, *renderer)) {
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
    }
    return 0;
}
