#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <ImageEngine/Context.h>
#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXImageTransformation.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RUXRecipe;

// Editing and rendering for pipeline hosts (a batch, a Python program, a worker of a cluster): a
// decoded photo and edits in, a bitmap out, all on the calling thread. No run loop, no undo history
// and no process-wide setting is involved: the screen scale the resolutions are sized for is given,
// not read from the main screen. The pixels are exactly those the edit manager and the renderer
// make for the same photo, list, resolution and scale (what Save and rux-render write).
//
// The edit manager stays the screens' model, on the main thread; this is its counterpart for
// programs without screens.

// The pictures a list renders to, as rux-render names them: the photo's own pixels upright, what
// Save renders, the committed image on screen, and the filter strip's thumbnail of the look.
enum class RUXRenderResolution { Original, Full, Screen, Thumbnail };

// "original", "full", "screen" or "thumbnail"; std::nullopt for any other text. Any thread.
RUX_API std::optional<RUXRenderResolution> RUXRenderResolutionNamed(std::string_view name);

// One photo's list of edits, kept as the edit manager keeps its committed list (the normalisation
// always there, at most one transformation per type, sorted), without undo. One object belongs to
// one thread at a time; any number of them may work at once on different threads. Looks are shared
// read-only between lists, as everywhere in the editor.
class RUX_API RUXPipelineEdit {
public:
    // An edit of photo for a screen of screenScale, rendering with at most maxThreads threads per
    // render (the caller's included; 0: the whole pool). Never nullptr; a null photo, one without
    // pixels or a scale that is not a positive number gives an edit whose every render answers
    // nullptr. Any thread; the caller owns it.
    static std::shared_ptr<RUXPipelineEdit> create(std::shared_ptr<const Graphics::BitmapImage> photo,
                                                   double screenScale, int maxThreads = 0);

    // A snapshot of the list, sorted, the normalisation included.
    RUXTransformationList transformations() const { return m_transformations; }
    // Puts t into its type's slot; a null t is ignored.
    void commitTransformation(const RUXTransformationPtr& t);
    // Puts the recipe's transformations into their slots, as the edit manager's applyRecipe does
    // (slots the recipe leaves out are emptied). Never fails: answers true.
    bool applyRecipe(const RUXRecipe& recipe);
    // The committed transformation of that type, or nullptr.
    RUXTransformationPtr committedTransformationWithType(RUXTransformationType type) const;
    // A copy of the committed transformation of that class, or a new default one; never nullptr.
    RUXTransformationPtr getOrCreateTransformationWithClass(const RUXClass& transformationClass) const;
    // The recipe of the list; nullptr, with one log line, when it holds a class a recipe cannot
    // record.
    std::shared_ptr<const RUXRecipe> recipe() const;

    // A new formula of the list at resolution (for Thumbnail: reduced to what thumbnails apply, with
    // the committed look or the unfiltered one). nullptr when the photo gives no picture there.
    RUXRenderFormulaPtr formula(RUXRenderResolution resolution) const;
    // A new formula of the committed transformations of the given classes only, over the screen
    // resolution picture, as the edit manager's imageWithTransformationClasses.
    RUXRenderFormulaPtr imageWithTransformationClasses(const std::vector<const RUXClass*>& classes) const;

    // The formula's bitmap (scale 1, upright), rendered on the calling thread unless the formula
    // already has one, which it then keeps. nullptr for a null formula, an empty, null or infinite
    // result, or one over the pixel limit.
    std::shared_ptr<const Graphics::BitmapImage> renderedImage(const RUXRenderFormulaPtr& formula) const;
    // formula(resolution) rendered; nullptr as above.
    std::shared_ptr<const Graphics::BitmapImage> render(RUXRenderResolution resolution) const;

    double screenScale() const { return m_screenScale; }

private:
    RUXPipelineEdit() = default;
    // The photo at a resolution, resized on first use.
    const ImageEngine::ImagePtr& imageAt(RUXRenderResolution resolution) const;

    std::shared_ptr<const Graphics::BitmapImage> m_photo;
    double m_screenScale = 0;
    std::shared_ptr<ImageEngine::Context> m_context;
    RUXTransformationList m_transformations;
    mutable ImageEngine::ImagePtr m_images[4];
    mutable bool m_resized[4] = {false, false, false, false};
};

// The thread-free render: the recipe applied to photo and rendered at resolution for a screen of
// screenScale, on the calling thread with at most maxThreads threads (0: the whole pool). nullptr,
// with one sentence in error when given, for a photo without pixels or a picture that cannot be
// rendered. Any thread, any number at once; the caller owns the result.
RUX_API std::shared_ptr<const Graphics::BitmapImage>
RUXRenderRecipe(const std::shared_ptr<const Graphics::BitmapImage>& photo, const RUXRecipe& recipe,
                RUXRenderResolution resolution, double screenScale, int maxThreads = 0,
                std::string* error = nullptr);
