#include "FuzzInput.h"
#include "Targets.h"

#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageContext.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <set>
#include <string>

namespace RUXFuzz {

namespace {

std::shared_ptr<const Graphics::BitmapImage> tinyPhoto() {
    static const auto photo = [] {
        auto bitmap = Graphics::Bitmap::create(9, 6);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 9; ++x) {
                std::uint8_t* p = bitmap->mutableRow(y) + 4 * x;
                p[0] = std::uint8_t(x * 28);
                p[1] = std::uint8_t(y * 40);
                p[2] = 90;
                p[3] = 255;
            }
        }
        return Graphics::BitmapImage::create(bitmap);
    }();
    return photo;
}

// The one user look the fuzzed recipes can name.
RUXTransformationPtr knownLook(const std::string& name, const std::string&) {
    static const auto look = [] {
        auto table = std::make_shared<RUXCubeLookupTable>();
        table->dimension = 2;
        auto data = std::make_shared<std::vector<std::uint8_t>>(8 * 16);
        auto* f = reinterpret_cast<float*>(data->data());
        for (int i = 0; i < 8; ++i) {
            f[4 * i] = float(i & 1), f[4 * i + 1] = float((i >> 1) & 1), f[4 * i + 2] = float(i >> 2),
                  f[4 * i + 3] = 1;
        }
        table->data = data;
        return std::make_shared<RUXUserLookTransformation>("Known", "known.cube", table);
    }();
    return name == "Known" ? look : nullptr;
}

} // namespace

int recipe(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto parsed = RUXRecipe::createWithDocument(text, knownLook, error);
    if (!parsed) {
        RUX_FUZZ_CHECK(!error.empty());
        return 0;
    }
    // What was read is a valid list: one per slot, sorted, no normalisation.
    const RUXTransformationList list = parsed->transformations();
    std::set<RUXTransformationType> types;
    double previous = -1e300;
    for (const auto& t : list) {
        RUX_FUZZ_CHECK(t && t->type() != RUXTransformationTypeNormalize);
        RUX_FUZZ_CHECK(types.insert(t->type()).second);
        RUX_FUZZ_CHECK(t->sortOrder() >= previous);
        previous = t->sortOrder();
    }
    // Writing it down and reading it back is stable.
    const std::string document = parsed->document();
    auto again = RUXRecipe::createWithDocument(document, knownLook, error);
    RUX_FUZZ_CHECK(again);
    RUX_FUZZ_CHECK(again->document() == document);

    // Committed as one step on a tiny photo, it renders (or renders nothing) and undoes cleanly.
    auto manager = RUXEditManager::create(tinyPhoto());
    RUX_FUZZ_CHECK(manager->applyRecipe(*parsed));
    RUX_FUZZ_CHECK(manager->transformations().size() == list.size() + 1);
    auto renderer = RUXImageRenderer::create();
    auto picture = renderer->renderedImage(manager->resultantImage());
    if (picture) {
        // Crops only shrink and turns only swap the sides (edges are rounded outward).
        const double side = 9 * Graphics::mainScreenScale() + 1;
        RUX_FUZZ_CHECK(picture->bitmap()->width() <= side && picture->bitmap()->height() <= side);
    }
    if (!list.empty()) {
        RUX_FUZZ_CHECK(manager->canUndo());
        manager->undo();
        RUX_FUZZ_CHECK(manager->transformations().size() == 1);
    }
    return 0;
}

} // namespace RUXFuzz
