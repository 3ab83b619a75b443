#pragma once

// The edits of rux-render's command line, committed as the editor's screens would commit them. The
// same steps run on the screens' edit manager (one photo, main thread) and on a pipeline edit (the
// batch and the Python module, any thread), so both give the same list.

#include "Options.h"

#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <memory>
#include <string>
#include <vector>

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
            std::vector<const RUXClass*> framed{&RUXRotateTransformation::classDescriptor(),
                                                &RUXNormalizeTransformation::classDescriptor(),
                                                &RUXStraightenTransformation::classDescriptor()};
            for (const RUXClass* colour : RUXTransformationRegistry::classesOfFamily(RUXEditFamily::Colour)) {
                framed.push_back(colour);
            }
            auto formula = list.imageWithTransformationClasses(framed);
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
        case Edit::Kind::Parameter: {
            // As the edit's screen does: a working copy of the committed one (or a new one), the
            // value set, then committed.
            auto t = list.getOrCreateTransformationWithClass(*edit.declaration->transformationClass);
            RUXApplyFlagValue(*edit.declaration, *edit.parameter, *t, edit.numbers);
            list.commitTransformation(t);
            break;
        }
        case Edit::Kind::Look:
            // The filter strip commits its own instance of the look.
            list.commitTransformation(lookClassNamed(edit.text)->create());
            break;
        case Edit::Kind::LookFile:
            list.commitTransformation(options.lookFiles[std::size_t(edit.numbers[0])]);
            break;
        }
    }
    commitRotate();
    return true;
}

} // namespace RenderTool
