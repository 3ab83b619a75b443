#pragma once

// The edits of rux-render's command line, committed as the editor's screens would commit them. The
// same steps run on the screens' edit manager (one photo, main thread) and on a pipeline edit (the
// batch and the Python module, any thread), so both give the same list.

#include "Options.h"

#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <memory>
#include <string>

namespace RenderTool {

// Runs the edits as the screens would: each tool works on a copy and commits it on OK. A recipe
// goes first, committed as one step. EditList is RUXEditManager or RUXPipelineEdit; render turns a
// formula into its bitmap on the calling thread. False with one sentence in error when the recipe
// cannot be applied or the picture to crop cannot be rendered.
template <class EditList, class Render>
bool applyEdits(const Options& options, EditList& list, const Render& render, std::string& error) {
    if (options.recipe && !list.applyRecipe(*options.recipe)) {
        error = "the recipe could not be applied";
        return false;
    }
    std::shared_ptr<RUXRotateTransformation> rotate;
    auto commitRotate = [&] {
        if (rotate) {
            list.commitTransformation(rotate);
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
                    list.getOrCreateTransformationWithClass(RUXRotateTransformation::classDescriptor()));
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
            auto formula = list.imageWithTransformationClasses(
                {&RUXRotateTransformation::classDescriptor(), &RUXNormalizeTransformation::classDescriptor(),
                 &RUXBrightnessTransformation::classDescriptor(),
                 &RUXSaturationTransformation::classDescriptor(),
                 &RUXContrastTransformation::classDescriptor()});
            auto picture = formula ? render(formula) : nullptr;
            if (!picture) {
                error = "could not render the picture to crop";
                return false;
            }
            const double w = picture->bitmap()->width(), h = picture->bitmap()->height();
            const auto& f = edit.numbers;
            auto crop = std::static_pointer_cast<RUXCropTransformation>(
                list.getOrCreateTransformationWithClass(RUXCropTransformation::classDescriptor()));
            crop->setCropRect(Graphics::Rect(f[0] * w, h - f[1] * h - f[3] * h, f[2] * w, f[3] * h),
                              Graphics::Rect(0, 0, w, h), *formula->metadata());
            list.commitTransformation(crop);
            break;
        }
        case Edit::Kind::Brightness:
        case Edit::Kind::Saturation:
        case Edit::Kind::Contrast: {
            const RUXClass& c =
                edit.kind == Edit::Kind::Brightness   ? RUXBrightnessTransformation::classDescriptor()
                : edit.kind == Edit::Kind::Saturation ? RUXSaturationTransformation::classDescriptor()
                                                      : RUXContrastTransformation::classDescriptor();
            auto scalar =
                std::static_pointer_cast<RUXScalarTransformation>(list.getOrCreateTransformationWithClass(c));
            scalar->setValue(float(edit.numbers[0]));
            list.commitTransformation(scalar);
            break;
        }
        case Edit::Kind::Look:
            // The filter strip commits its own instance of the look.
            list.commitTransformation(lookClassNamed(edit.text)->create());
            break;
        case Edit::Kind::LookFile:
            list.commitTransformation(options.lookFiles[std::size_t(edit.numbers[0])]);
            break;
        case Edit::Kind::FocusBlur: {
            auto blur = std::static_pointer_cast<RUXBlurTransformation>(
                list.getOrCreateTransformationWithClass(RUXBlurTransformation::classDescriptor()));
            blur->setPoint({edit.numbers[0], edit.numbers[1]});
            if (edit.numbers.size() == 3) {
                blur->setScale(edit.numbers[2]);
            }
            list.commitTransformation(blur);
            break;
        }
        case Edit::Kind::CircleBlur: {
            auto blur = std::static_pointer_cast<RUXBeautifulBlurTransformation>(
                list.getOrCreateTransformationWithClass(RUXBeautifulBlurTransformation::classDescriptor()));
            blur->setPoint({edit.numbers[0], edit.numbers[1]});
            list.commitTransformation(blur);
            break;
        }
        }
    }
    commitRotate();
    return true;
}

} // namespace RenderTool
