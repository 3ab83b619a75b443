#pragma once

#include <Foundation/Export.h>
#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXImageTransformation.h>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// A committed list written down so that it outlives the session: a small, versioned JSON document
// that replays to the same pixels on the same photo and to the same relative edit on any other
// resolution of it. Each entry names its class and carries that class's parameters:
//
//   {"format": "rux-edit-recipe", "version": 1, "transformations": [
//     {"class": "RUXRotateTransformation", "matrix": [a, b, c, d, tx, ty],
//      "flipDirection": 1, "rotateDirection": -1},
//     {"class": "RUXCropTransformation", "rect": [x, y, width, height]},
//     {"class": "RUXBrightnessTransformation", "value": 0.4},
//     {"class": "RUXFilterTokyo"},
//     {"class": "RUXUserLookTransformation", "name": "Warm", "source": "looks/warm.cube"},
//     {"class": "RUXBlurTransformation", "point": [0.5, 0.4], "scale": 1.2},
//     {"class": "RUXBeautifulBlurTransformation", "point": [310, 220]}]}
//
// The crop rectangle is in fractions of the unturned photo (origin at its bottom-left, y up), so it
// holds at every resolution and under later turns. The focus blur's point is in unit coordinates of
// the picture; the circle blur's is in pixels of the picture it was placed on. The normalisation,
// which every list holds, is not written. A user look is recorded by name and the file it came
// from; the reader resolves it.
//
// What each class writes is its declaration's (RUXTransformationRegistry). The design's classes
// need version 1; a class added later may need a newer version, which a document takes only when it
// holds such a class, so every document of the design's classes stays version 1 and every earlier
// document still reads.
//
// Immutable once made; any thread.
class RUX_API RUXRecipe {
public:
    static constexpr const char* kFormatName = "rux-edit-recipe";
    // The version of a document of the design's classes; the newest a reader accepts is
    // RUXTransformationRegistry::recipeVersion().
    static constexpr int kVersion = 1;
    // Far above any real recipe (a few hundred bytes); a larger document is refused unread.
    static constexpr std::size_t kMaxDocumentBytes = 64 * 1024;

    // Finds the user look a recipe names, from its name and recorded source; nullptr when it is
    // not available. Called on the thread that parses.
    using UserLookResolver =
        std::function<RUXTransformationPtr(const std::string& name, const std::string& source)>;

    // The recipe of a committed list (the normalisation skipped). nullptr, with one log line, when
    // an entry's class cannot be written down (a class of the host's own). Any thread; the caller
    // owns the result; the recipe keeps its own copies, so later changes to list's working objects
    // do not reach it.
    static std::shared_ptr<const RUXRecipe> createWithTransformations(const RUXTransformationList& list);

    // Parses a document. nullptr, with one sentence in error, for: text over kMaxDocumentBytes, text
    // that is not JSON, another format name, a version the registry does not know, a class newer
    // than the document's version, an unknown class or key, a value of the
    // wrong type or count, a number that is not finite, a turn matrix that is not quarter turns
    // and mirrors, a crop without area, two entries of one type, or a user look that resolver
    // cannot find (or any user look when resolver is empty). Any thread; the caller owns the result.
    static std::shared_ptr<const RUXRecipe>
    createWithDocument(std::string_view text, const UserLookResolver& resolver, std::string& error);

    // The JSON text, indented, ending in a newline. Numbers are written so that they read back to
    // the same bits.
    std::string document() const;

    // A fresh set of the recipe's transformations, sorted, ready to commit: parameter objects are
    // new copies each call (so lists built from one recipe never share a working object), while
    // looks, which are shared read-only by design, are the recipe's own. Never nullptr entries.
    RUXTransformationList transformations() const;

private:
    RUXRecipe() = default;
    RUXTransformationList m_transformations;
};
