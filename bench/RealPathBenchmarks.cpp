// The editor's renders as users get them: lists committed through the edit manager exactly as the
// screens and rux-render commit them, rendered by the renderer at screen size (the manager's
// low-resolution source) and at full size (Save), from a 3072 × 2048 photo. The OpenCV and libvips
// chains, when built in, run in the same process for comparison.

#include "ImageEngineBenchmarkInputs.h"

#include <Foundation/Bundle.h>
#include <Graphics/BitmapImage.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXHighlightsShadowsTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXSharpenTransformation.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr int kPhotoWidth = 3072, kPhotoHeight = 2048;

enum Edit : int {
    Turn,
    Crop,
    Brightness,
    Saturation,
    Contrast,
    Look,
    FocusBlur,
    CircleBlur,
    Sharpen,
    HighlightsShadows,
    EditCount
};

const char* const kEditNames[] = {
    "turn", "crop",       "brightness",  "saturation", "contrast",
    "look", "focus blur", "circle blur", "sharpening", "highlights and shadows"};

const std::vector<Edit> kHeaviestList{Turn, Crop, Brightness, Saturation, Contrast, Look, FocusBlur};

struct Session {
    std::shared_ptr<RUXEditManager> manager;
    std::shared_ptr<RUXImageRenderer> renderer;
};

// Commits one edit the way its tool screen does: a copy of the committed transformation (or a new
// one), changed, then committed.
void commit(Session& session, Edit edit) {
    RUXEditManager& manager = *session.manager;
    auto copyOf = [&](const RUXClass& c) { return manager.getOrCreateTransformationWithClass(c); };
    switch (edit) {
    case Turn: {
        auto rotate = std::static_pointer_cast<RUXRotateTransformation>(
            copyOf(RUXRotateTransformation::classDescriptor()));
        rotate->rotateClockwise90Degrees();
        manager.commitTransformation(rotate);
        break;
    }
    case Crop: {
        // The crop screen frames the middle 80 % of the picture it shows (geometry and colour,
        // no crop), in that picture's top-left-origin coordinates.
        auto formula = manager.imageWithTransformationClasses(
            {&RUXRotateTransformation::classDescriptor(), &RUXNormalizeTransformation::classDescriptor(),
             &RUXBrightnessTransformation::classDescriptor(), &RUXSaturationTransformation::classDescriptor(),
             &RUXContrastTransformation::classDescriptor()});
        auto picture = session.renderer->renderedImage(formula);
        const double w = picture->bitmap()->width(), h = picture->bitmap()->height();
        auto crop =
            std::static_pointer_cast<RUXCropTransformation>(copyOf(RUXCropTransformation::classDescriptor()));
        crop->setCropRect(Graphics::Rect(0.1 * w, 0.1 * h, 0.8 * w, 0.8 * h), Graphics::Rect(0, 0, w, h),
                          *formula->metadata());
        manager.commitTransformation(crop);
        break;
    }
    case Brightness:
    case Saturation:
    case Contrast: {
        const RUXClass& c = edit == Brightness   ? RUXBrightnessTransformation::classDescriptor()
                            : edit == Saturation ? RUXSaturationTransformation::classDescriptor()
                                                 : RUXContrastTransformation::classDescriptor();
        auto scalar = std::static_pointer_cast<RUXScalarTransformation>(copyOf(c));
        scalar->setValue(edit == Brightness ? 0.3f : edit == Saturation ? 1.2f : 1.1f);
        manager.commitTransformation(scalar);
        break;
    }
    case Look:
        // An overlay look: a colour table and a picture blended over the result.
        manager.commitTransformation(std::make_shared<RUXFilterVivid>());
        break;
    case FocusBlur: {
        auto blur =
            std::static_pointer_cast<RUXBlurTransformation>(copyOf(RUXBlurTransformation::classDescriptor()));
        blur->setPoint({0.5, 0.5});
        manager.commitTransformation(blur);
        break;
    }
    case CircleBlur: {
        auto blur = std::static_pointer_cast<RUXBeautifulBlurTransformation>(
            copyOf(RUXBeautifulBlurTransformation::classDescriptor()));
        blur->setPoint({0, 0});
        manager.commitTransformation(blur);
        break;
    }
    case Sharpen: {
        auto sharpen = std::static_pointer_cast<RUXSharpenTransformation>(
            copyOf(RUXSharpenTransformation::classDescriptor()));
        sharpen->setValue(1.0f);
        manager.commitTransformation(sharpen);
        break;
    }
    case HighlightsShadows: {
        auto tones = std::static_pointer_cast<RUXHighlightsShadowsTransformation>(
            copyOf(RUXHighlightsShadowsTransformation::classDescriptor()));
        tones->setHighlights(-0.5f);
        tones->setShadows(0.5f);
        manager.commitTransformation(tones);
        break;
    }
    default:
        break;
    }
}

Session sessionWith(const std::vector<Edit>& edits, int photoWidth = kPhotoWidth,
                    int photoHeight = kPhotoHeight) {
    Graphics::setMainScreenScale(2);
    Foundation::Bundle::setMainBundlePath(RUX_SOURCE_RESOURCES_DIR);
    Session session{
        RUXEditManager::create(Graphics::BitmapImage::create(EngineBench::photo(photoWidth, photoHeight))),
        RUXImageRenderer::create()};
    for (Edit edit : edits)
        commit(session, edit);
    return session;
}

std::string describe(const std::vector<Edit>& edits) {
    std::string text;
    for (Edit edit : edits)
        text += (text.empty() ? "" : ", ") + std::string(kEditNames[edit]);
    return text.empty() ? "nothing committed" : text;
}

// A fresh formula for every render, as the screens get after each commit; the first render (which
// also loads the look's table and overlay) is left out. With a fresh renderer too, nothing a render
// keeps for the next one (the highlights and shadows grid) is found: the cost of a list's first
// render, or of a step that changes what the grid is computed from.
void renderRepeatedly(benchmark::State& state, Session& session, bool full, const std::string& label,
                      bool freshRenderer = false) {
    auto formula = [&] {
        if (full)
            return session.manager->resultantImage();
        auto committed = session.manager->committedImage();
        auto fresh = RUXRenderFormula::create(committed->originalImage(), *committed->transformations());
        fresh->setResolutionScale(committed->resolutionScale());
        return fresh;
    };
    auto first = session.renderer->renderedImage(formula());
    if (!first) {
        state.SkipWithError("the list did not render");
        return;
    }
    {
        EngineBench::ProcessorTime processorTime(state);
        for (auto _ : state) {
            if (freshRenderer)
                benchmark::DoNotOptimize(RUXImageRenderer::create()->renderedImage(formula()));
            else
                benchmark::DoNotOptimize(session.renderer->renderedImage(formula()));
        }
    }
    state.SetLabel(label + " (" + std::to_string(first->bitmap()->width()) + " x " +
                   std::to_string(first->bitmap()->height()) + ")");
}

// The heaviest list the screens commit; arg 0: screen, 1: full size (Save).
void RealHeaviestList(benchmark::State& state) {
    Session session = sessionWith(kHeaviestList);
    renderRepeatedly(state, session, state.range(0) == 1, describe(kHeaviestList));
}
BENCHMARK(RealHeaviestList)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One edit alone at screen size (EditCount: nothing but the normalisation every list holds), then
// the same with a quarter turn committed too, so the turn's share of any render shows.
void RealSingleEdit(benchmark::State& state) {
    std::vector<Edit> edits;
    if (state.range(1) == 1)
        edits.push_back(Turn);
    if (state.range(0) < EditCount && !(state.range(0) == Turn && !edits.empty()))
        edits.push_back(static_cast<Edit>(state.range(0)));
    Session session = sessionWith(edits);
    renderRepeatedly(state, session, false, describe(edits));
}
BENCHMARK(RealSingleEdit)
    ->ArgsProduct({benchmark::CreateDenseRange(Turn, EditCount, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A photo of an awkward size, the default photo's 3088 × 2056, whose screen picture is 1922.5 pixels
// wide before rounding: nothing but the normalisation, then with a quarter turn (arg 1). A turn's
// cost depends on the picture's width, which round benchmark photos hide.
void RealAwkwardSizeTurn(benchmark::State& state) {
    std::vector<Edit> edits;
    if (state.range(0) == 1)
        edits.push_back(Turn);
    Session session = sessionWith(edits, 3088, 2056);
    renderRepeatedly(state, session, false, describe(edits) + ", 3088 x 2056 photo");
}
BENCHMARK(RealAwkwardSizeTurn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same photo with a colour edit, which decodes the bitmap to floats instead of copying its bytes:
// brightness alone, then with a quarter turn (arg 1), whose read goes through transposed blocks.
void RealAwkwardSizeTurnedEdit(benchmark::State& state) {
    std::vector<Edit> edits;
    if (state.range(0) == 1)
        edits.push_back(Turn);
    edits.push_back(Brightness);
    Session session = sessionWith(edits, 3088, 2056);
    renderRepeatedly(state, session, false, describe(edits) + ", 3088 x 2056 photo");
}
BENCHMARK(RealAwkwardSizeTurnedEdit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The slider screen while a finger moves the brightness slider: each step sets a new value on the
// screen's working copy and renders its high-quality preview, with a turn, a crop, a look and a
// focus blur committed.
void RealSliderStep(benchmark::State& state) {
    Session session = sessionWith({Turn, Crop, Look, FocusBlur});
    auto brightness = std::static_pointer_cast<RUXScalarTransformation>(
        session.manager->getOrCreateTransformationWithClass(RUXBrightnessTransformation::classDescriptor()));
    auto step = [&, value = 0.0f]() mutable {
        value = value >= 1.0f ? -1.0f : value + 0.05f;
        brightness->setValue(value);
        return session.renderer->renderedImage(
            session.manager->highQualityPreviewImageWithTransformation(brightness));
    };
    step();
    EngineBench::ProcessorTime processorTime(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(step());
    state.SetLabel("brightness slider over turn, crop, look, focus blur");
}
BENCHMARK(RealSliderStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// The circle blur (arg 1), the sharpening (arg 2) and the highlights and shadows (arg 3) alone at full
// size (Save), beside the focus blur alone (arg 0), the bound the first two are held to.
void RealFullSizeBlur(benchmark::State& state) {
    const Edit alone[] = {FocusBlur, CircleBlur, Sharpen, HighlightsShadows};
    std::vector<Edit> edits{alone[state.range(0)]};
    Session session = sessionWith(edits);
    renderRepeatedly(state, session, true, describe(edits));
}
BENCHMARK(RealFullSizeBlur)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The edits added beyond the built-in tools, committed as rux-render commits its flags: a copy of
// the committed transformation (or a new one), the flags' values stored through the class's
// declaration, then committed.
struct FlagEdit {
    const char* className;
    std::vector<std::pair<const char*, const char*>> flags;
};

// The per-pixel and tonal ones, each moved well off its neutral value.
const std::vector<FlagEdit> kAddedColourEdits{
    {"RUXWhiteBalanceTransformation", {{"--temperature", "5000"}, {"--tint", "10"}}},
    {"RUXExposureTransformation", {{"--exposure", "0.3"}}},
    {"RUXHighlightsShadowsTransformation", {{"--highlights", "-0.4"}, {"--shadows", "0.4"}}},
    {"RUXVibranceTransformation", {{"--vibrance", "0.3"}}},
    {"RUXToneCurveTransformation", {{"--curve", "0.25,0.2 0.75,0.8"}}},
    {"RUXVignetteTransformation", {{"--vignette", "-0.4"}}},
};

// False, committing nothing, when the class is not registered or a value is refused.
bool commitFlags(Session& session, const FlagEdit& edit) {
    const RUXTransformationDeclaration* declaration =
        RUXTransformationRegistry::declarationNamed(edit.className);
    if (!declaration) {
        return false;
    }
    auto transformation =
        session.manager->getOrCreateTransformationWithClass(*declaration->transformationClass);
    for (const auto& [flag, text] : edit.flags) {
        const RUXParameter* parameter = declaration->parameterWithFlag(flag);
        const auto numbers = parameter ? RUXParseFlagValue(*declaration, *parameter, text) : std::nullopt;
        if (!numbers || !RUXApplyFlagValue(*declaration, *parameter, *transformation, *numbers)) {
            return false;
        }
    }
    session.manager->commitTransformation(transformation);
    return true;
}

// The heaviest list with the added colour and tone edits committed too; arg 0: screen, 1: full size
// (Save), 2: screen through a new renderer each time (nothing kept from the render before). Beside
// RealHeaviestList, it shows what the added edits cost.
void RealHeaviestListWithAddedEdits(benchmark::State& state) {
    Session session = sessionWith(kHeaviestList);
    std::string label = describe(kHeaviestList);
    for (const FlagEdit& edit : kAddedColourEdits) {
        if (!commitFlags(session, edit)) {
            state.SkipWithError((std::string(edit.className) + " could not be committed").c_str());
            return;
        }
        label += std::string(", ") + edit.className;
    }
    renderRepeatedly(state, session, state.range(0) == 1,
                     label + (state.range(0) == 2 ? ", new renderer" : ""), state.range(0) == 2);
}
BENCHMARK(RealHeaviestListWithAddedEdits)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The added classes, in the order their slider steps are measured.
const char* const kAddedClasses[] = {"RUXStraightenTransformation", "RUXWhiteBalanceTransformation",
                                     "RUXExposureTransformation",   "RUXHighlightsShadowsTransformation",
                                     "RUXVibranceTransformation",   "RUXToneCurveTransformation",
                                     "RUXVignetteTransformation",   "RUXSharpenTransformation"};

// A slider step on an added tool's screen with the heaviest list committed: the working copy's first
// scalar (or the curve's middle point) moves between a quarter and three quarters of its range, and
// the screen's high-quality preview is rendered. Arg: the class, in kAddedClasses order.
void RealAddedSliderStep(benchmark::State& state) {
    const char* className = kAddedClasses[state.range(0)];
    const RUXTransformationDeclaration* declaration = RUXTransformationRegistry::declarationNamed(className);
    if (!declaration) {
        state.SkipWithError((std::string(className) + " is not registered").c_str());
        return;
    }
    const RUXParameter* moved = nullptr;
    for (const RUXParameter& parameter : declaration->parameters) {
        if (!moved &&
            (parameter.kind == RUXParameterKind::Scalar || parameter.kind == RUXParameterKind::PointList)) {
            moved = &parameter;
        }
    }
    if (!moved || !moved->set) {
        state.SkipWithError("no parameter a slider moves");
        return;
    }
    Session session = sessionWith(kHeaviestList);
    auto working = session.manager->getOrCreateTransformationWithClass(*declaration->transformationClass);
    auto step = [&, quarter = false]() mutable {
        quarter = !quarter;
        const double fraction = quarter ? 0.25 : 0.75;
        RUXParameterValue value;
        if (moved->kind == RUXParameterKind::Scalar) {
            value.numbers = {moved->minValue + fraction * (moved->maxValue - moved->minValue)};
        } else {
            value.numbers = {0.5, fraction};
        }
        moved->set(*working, value);
        return session.renderer->renderedImage(
            session.manager->highQualityPreviewImageWithTransformation(working));
    };
    step();
    {
        EngineBench::ProcessorTime processorTime(state);
        for (auto _ : state)
            benchmark::DoNotOptimize(step());
    }
    state.SetLabel(std::string(className) + " slider over " + describe(kHeaviestList));
}
BENCHMARK(RealAddedSliderStep)->DenseRange(0, 7)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
