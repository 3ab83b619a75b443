#include "FuzzInput.h"
#include "Targets.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <algorithm>
#include <cmath>
#include <deque>
#include <set>

namespace RUXFuzz {

namespace {

constexpr std::size_t kUndoLevels = 100;
constexpr int kMaxSteps = 200;

// The filter strip's own look objects: made once, as the strip makes them once per editor, so the
// tables are not decoded again for every input.
const std::vector<RUXTransformationPtr>& stripLooks() {
    static const std::vector<RUXTransformationPtr> looks = [] {
        std::vector<RUXTransformationPtr> v{std::make_shared<RUXFilterIdentity>()};
        for (const RUXClass* c : RUXOfferedLookClasses())
            v.push_back(c->create());
        return v;
    }();
    return looks;
}

std::shared_ptr<Graphics::BitmapImage> makePhoto(Input& in) {
    const std::uint8_t kind = in.byte();
    if (kind < 8)
        return nullptr; // the editor opened without a photo
    const int width = in.range(1, 24), height = in.range(1, 24);
    auto bitmap = Graphics::Bitmap::create(width, height, Graphics::PixelFormat::RGBA8,
                                           kind & 1 ? Graphics::AlphaInfo::NoneSkipLast
                                                    : Graphics::AlphaInfo::PremultipliedLast);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = bitmap->mutableRow(y);
        for (int x = 0; x < width; ++x, p += 4) {
            p[3] = static_cast<std::uint8_t>(kind & 2 ? 255 : 128 + x);
            p[0] = static_cast<std::uint8_t>(std::min(p[3] + 0, x * 11));
            p[1] = static_cast<std::uint8_t>(std::min(p[3] + 0, y * 13));
            p[2] = static_cast<std::uint8_t>(std::min(p[3] + 0, 60));
        }
    }
    const double scales[] = {1.0, 2.0, 3.0, 0.5};
    return Graphics::BitmapImage::create(bitmap, scales[(kind >> 2) & 3],
                                         static_cast<Graphics::ImageOrientation>((kind >> 4) & 7));
}

// Changes a working copy the way its tool screen would, and then some: any value at all.
void editWorkingCopy(Input& in, const RUXTransformationPtr& t, RUXEditManager& manager) {
    const RUXTransformationDeclaration* declaration =
        RUXTransformationRegistry::declarationOf(t->transformationClass());
    const bool gestured = dynamic_cast<RUXPositionalTransformation*>(t.get()) ||
                          dynamic_cast<RUXRotateTransformation*>(t.get()) ||
                          dynamic_cast<RUXCropTransformation*>(t.get());
    // Edits without a gesture of their own (the colour edits, the added ones): every declared value.
    if (declaration && !gestured) {
        // Each declared value, whatever its range says: as many numbers as its kind holds.
        for (const RUXParameter& p : declaration->parameters) {
            if (p.set && p.count() > 0) {
                RUXParameterValue value;
                for (std::size_t i = 0; i < p.count(); ++i) {
                    value.numbers.push_back(in.number());
                }
                p.set(*t, value);
            }
        }
    } else if (auto* positional = dynamic_cast<RUXPositionalTransformation*>(t.get())) {
        if (in.byte() & 1)
            positional->setPoint({in.number(), in.number()});
        else
            positional->setScale(in.number());
        // The gesture hooks take nothing from the input, so that a corpus replays as it always has.
        positional->startPanningAt(positional->point());
        positional->stopPanning();
        positional->startScalingAt(positional->scale());
        positional->stopScaling();
    } else if (auto* rotate = dynamic_cast<RUXRotateTransformation*>(t.get())) {
        switch (in.byte() % 4) {
        case 0:
            rotate->rotateClockwise90Degrees();
            break;
        case 1:
            rotate->rotateCounterClockwise90Degrees();
            break;
        case 2:
            rotate->flipHorizontal();
            break;
        default:
            rotate->flipVertical();
        }
    } else if (auto* crop = dynamic_cast<RUXCropTransformation*>(t.get())) {
        const Graphics::Rect rect(in.number(), in.number(), in.number(), in.number());
        if (in.byte() & 1) {
            // As the crop screen sets it: a framing of the picture a render made.
            auto formula =
                manager.imageWithAllTransformationsExcept(RUXCropTransformation::classDescriptor());
            const Graphics::Rect original(0, 0, in.range(0, 40), in.range(0, 40));
            crop->setCropRect(rect, original, *formula->metadata());
        } else {
            crop->setCropRect(rect);
            crop->setOriginalRect(Graphics::Rect(in.number(), in.number(), in.number(), in.number()));
        }
    }
}

void renderAndCheck(RUXImageRenderer& renderer, const RUXRenderFormulaPtr& formula, int maxSide) {
    RUX_FUZZ_CHECK(formula);
    auto image = renderer.renderedImage(formula);
    if (!image)
        return;
    // No edit enlarges the picture: a render is never larger than the photo it started from
    // (one pixel more where a fractional edge is rounded outward).
    RUX_FUZZ_CHECK(image->bitmap()->width() <= maxSide + 1 && image->bitmap()->height() <= maxSide + 1);
    // A formula keeps its bitmap, so asking again answers the same one.
    RUX_FUZZ_CHECK(renderer.renderedImage(formula) == image);
}

bool sameList(const RUXTransformationList& a, const RUXTransformationList& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

void checkList(const RUXTransformationList& list) {
    std::set<RUXTransformationType> types;
    int normalizations = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        RUX_FUZZ_CHECK(list[i]);
        RUX_FUZZ_CHECK(types.insert(list[i]->type()).second);
        if (i > 0)
            RUX_FUZZ_CHECK(list[i - 1]->sortOrder() <= list[i]->sortOrder());
        normalizations += list[i]->type() == RUXTransformationTypeNormalize;
    }
    RUX_FUZZ_CHECK(normalizations == 1);
}

void push(std::deque<RUXTransformationList>& stack, RUXTransformationList list) {
    stack.push_back(std::move(list));
    if (stack.size() > kUndoLevels)
        stack.pop_front();
}

} // namespace

int editSession(const std::uint8_t* data, std::size_t size) {
    Foundation::LogCapture quiet;
    static const bool screenScaleSet = [] {
        Graphics::setMainScreenScale(1.0);
        return true;
    }();
    (void)screenScaleSet;
    static const auto renderer = RUXImageRenderer::create();

    Input in(data, size);
    const auto photo = makePhoto(in);
    // The longest side of any picture the editor may make of this photo: its size in points at the
    // main screen's scale (1 here), which is more pixels than the bitmap has when its scale is below 1.
    const int maxSide =
        photo ? static_cast<int>(std::ceil(std::max(photo->size().width, photo->size().height))) : 0;
    const auto manager = RUXEditManager::create(photo);
    // What the list was before each step still on the undo stack, and after each on the redo stack.
    std::deque<RUXTransformationList> undoModel, redoModel;
    RUXTransformationPtr working;
    auto commit = [&](const RUXTransformationPtr& t, RUXTransformationType type) {
        const RUXTransformationList before = manager->transformations();
        manager->setTransformationForType(t, type);
        push(undoModel, before);
        redoModel.clear();
    };

    for (int step = 0; step < kMaxSteps && !in.empty(); ++step) {
        const std::uint8_t op = in.byte();
        switch (op % 14) {
        case 0: { // a tool screen opens: its working copy
            const auto& classes = RUXTransformationClasses();
            working = manager->getOrCreateTransformationWithClass(*classes[in.byte() % classes.size()]);
            RUX_FUZZ_CHECK(working);
            break;
        }
        case 1:
            if (working)
                editWorkingCopy(in, working, *manager);
            break;
        case 2: // OK: the working copy is committed and the screen closes
            if (working) {
                commit(working, working->type());
                working = nullptr;
            }
            break;
        case 3: { // a look chosen on the filter strip
            const auto& looks = stripLooks();
            const auto& look = looks[in.byte() % looks.size()];
            if (manager->committedTransformationWithType(RUXTransformationTypeFilter) != look)
                commit(look, look->type());
            break;
        }
        case 4: { // an emptied slot
            const RUXTransformationType type = RUXTransformationTypeWithCode(in.range(0, 6));
            commit(nullptr, type);
            break;
        }
        case 5: {
            RUX_FUZZ_CHECK(manager->canUndo() == !undoModel.empty());
            if (!manager->canUndo())
                break;
            const RUXTransformationList before = manager->transformations();
            manager->undo();
            RUX_FUZZ_CHECK(sameList(manager->transformations(), undoModel.back()));
            undoModel.pop_back();
            push(redoModel, before);
            break;
        }
        case 6: {
            RUX_FUZZ_CHECK(manager->canRedo() == !redoModel.empty());
            if (!manager->canRedo())
                break;
            const RUXTransformationList before = manager->transformations();
            manager->redo();
            RUX_FUZZ_CHECK(sameList(manager->transformations(), redoModel.back()));
            redoModel.pop_back();
            push(undoModel, before);
            break;
        }
        case 7: // a control dragged: the quick preview
            renderAndCheck(*renderer, manager->previewImageWithTransformation(working), maxSide);
            break;
        case 8:
            renderAndCheck(*renderer, manager->highQualityPreviewImageWithTransformation(working), maxSide);
            break;
        case 9: { // a filter strip cell
            const auto& looks = stripLooks();
            const auto formula =
                manager->thumbnailPreviewImageWithTransformation(looks[in.byte() % looks.size()]);
            renderAndCheck(*renderer, formula, maxSide);
            break;
        }
        case 10:
            renderAndCheck(*renderer, manager->committedImage(), maxSide);
            break;
        case 11: // Save
            renderAndCheck(*renderer, manager->resultantImage(), maxSide);
            break;
        case 12: // holding a finger on the photo: only the geometric edits
            renderAndCheck(
                *renderer,
                manager->imageWithTransformationClasses({&RUXRotateTransformation::classDescriptor(),
                                                         &RUXCropTransformation::classDescriptor(),
                                                         &RUXNormalizeTransformation::classDescriptor()}),
                maxSide);
            break;
        default: // Cancel: the working copy is dropped
            working = nullptr;
            break;
        }
        checkList(manager->transformations());
        RUX_FUZZ_CHECK(manager->canUndo() == !undoModel.empty());
        RUX_FUZZ_CHECK(manager->canRedo() == !redoModel.empty());
    }
    return 0;
}

} // namespace RUXFuzz
