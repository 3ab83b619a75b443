#pragma once

#include <Foundation/Cache.h>
#include <Foundation/Export.h>
#include <Foundation/UndoManager.h>
#include <Graphics/BitmapImage.h>
#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXImageTransformation.h>
#include <Utility/RUXResourceLocation.h>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The edit state of one photo: the photo at three resolutions, the committed list (sorted by sort
// order, at most one transformation per type code, always holding the one normalisation), its
// undo and redo history, the memoised committed formula and the filter strip's thumbnail cache.
//
// Every function is for the main thread except thumbnailPreviewImageWithTransformation, which
// the filter strip calls from pool threads; the list is guarded so those tasks always see a whole
// list, from just before or just after a concurrent change.
class RUXRecipe;

// What Save (resultantImage) renders at: the output limit of 1024 points on the shorter side, or
// the photo's own pixels, upright, for hosts that keep the photo's resolution.
enum class RUXOutputResolution { Limited, Original };

class RUX_API RUXEditManager : public std::enable_shared_from_this<RUXEditManager> {
public:
    // Resizes the photo for thumbnails (88 points × the main screen's scale on the shorter
    // side), the screen (640 points) and the output (1024 points), never enlarging it. Never
    // nullptr. A photo that is null, has a zero side, or would exceed the pixel limit at some
    // resolution leaves that image nullptr, and every formula over it renders nothing (the
    // renderer answers nullptr). A 1 × 1 point photo is kept at 1 × 1 point at every resolution.
    // The two screen pictures are made here from one decode no larger than they need (a lazily
    // decoded photo is never decoded at full size for them); the output picture on first use.
    // Main thread; the caller owns the manager.
    static std::shared_ptr<RUXEditManager> create(std::shared_ptr<const Graphics::BitmapImage> image);
    // The same, with the output at the given resolution; Original shares the photo's bitmap when it
    // is already upright, else makes one upright copy.
    static std::shared_ptr<RUXEditManager> create(std::shared_ptr<const Graphics::BitmapImage> image,
                                                  RUXOutputResolution outputResolution);

    // A recipe of the photo drawn upright at one pixel per pixel. nullptr for a null photo or one
    // over the pixel limit. Any thread.
    static ImageEngine::ImagePtr uprightImage(const std::shared_ptr<const Graphics::BitmapImage>& image);

    // A recipe of the photo drawn upright with its shorter side brought down to maxSize points,
    // at the main screen's scale. nullptr for a null photo or one whose result would exceed the
    // pixel limit. Any thread.
    static ImageEngine::ImagePtr resizeImage(const std::shared_ptr<const Graphics::BitmapImage>& image,
                                             double maxSize);
    // The same at the given screen scale instead of the main screen's; nullptr also for a scale
    // that is not a positive number. Any thread.
    static ImageEngine::ImagePtr resizeImage(const std::shared_ptr<const Graphics::BitmapImage>& image,
                                             double maxSize, double screenScale);

    const ImageEngine::ImagePtr& thumbnailImage() const { return m_thumbnailImage; }
    const ImageEngine::ImagePtr& lowResImage() const { return m_lowResImage; }
    // The output picture, made on the first call (the photo is decoded for it then, at no more than
    // the output needs), at the main screen's scale of the manager's creation. Any thread.
    const ImageEngine::ImagePtr& fullImage() const;
    const std::shared_ptr<Foundation::UndoManager>& undoManager() const { return m_undoManager; }

    // A snapshot of the committed list. Any thread.
    RUXTransformationList transformations() const;

    // Puts t into its type's slot with one undo step. A null t is ignored.
    void commitTransformation(const RUXTransformationPtr& t);
    // Puts t into the slot of type (or empties the slot for a null t) with one undo step;
    // re-sorts, empties the thumbnail cache when a transformation applied to thumbnails (other
    // than a filter) comes or goes, and drops the committed formula. A t of another type than
    // type is refused with one log line and nothing changes. Undo and redo with nothing to undo
    // or redo do nothing.
    void setTransformationForType(const RUXTransformationPtr& t, RUXTransformationType type);
    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();

    // Makes the committed list hold exactly the transformations given (the normalisation stays),
    // as one undoable step: undo brings the whole previous list back. Slots the list leaves out are
    // emptied. False, with one log line and nothing changed, when the list holds a nullptr, a
    // normalisation or two transformations of one type. A list equal to the committed one records
    // no step. Main thread.
    bool commitTransformations(const RUXTransformationList& transformations);

    // Opt-in: a host that keeps the edits somewhere (a journal, an autosave) hears of every change
    // of the committed list here: called once after each commit, undo, redo or list commit that
    // changed something (a list commit or an undone list is one call), on the main thread, after
    // the list and the undo history are settled. Unset by default, and then nothing is called. An
    // empty function unsets it. Main thread.
    using ChangeObserver = std::function<void(RUXEditManager& manager)>;
    void setChangeObserver(ChangeObserver observer) { m_changeObserver = std::move(observer); }

    // Opt-in recipes: the committed list written down, and a recipe's list committed as one
    // undoable step (see commitTransformations). recipe() answers nullptr, with one log line, when
    // the list holds a class a recipe cannot record; the caller owns it. Main thread.
    std::shared_ptr<const RUXRecipe> recipe() const;
    bool applyRecipe(const RUXRecipe& recipe);

    // Queries on the live list; nullptr when nothing matches. Exact class: subclasses do not match.
    RUXTransformationPtr getTransformationWithClass(const RUXClass& transformationClass) const;
    RUXTransformationPtr getTransformationWithType(RUXTransformationType type) const;
    RUXTransformationPtr committedTransformationWithType(RUXTransformationType type) const;
    // A copy of the committed transformation of that class, or a new default one; never
    // nullptr; the caller owns it.
    RUXTransformationPtr getOrCreateTransformationWithClass(const RUXClass& transformationClass) const;

    // Lower sort order first; a strict weak order over sort orders alone.
    static bool transformationComparator(const RUXTransformationPtr& a, const RUXTransformationPtr& b);
    // The list with t in its type's slot (appended if the slot is empty), sorted; the list itself
    // is unchanged. Any thread.
    RUXTransformationList transformationsIncludingNewTransformation(const RUXTransformationPtr& t) const;

    // Formula builders; each answers a new formula the caller shares, except where noted.
    // The committed list at screen resolution; kept until the list changes.
    RUXRenderFormulaPtr committedImage();
    // The committed list at output resolution (what Save renders).
    RUXRenderFormulaPtr resultantImage() const;
    // The output-resolution photo with no list.
    RUXRenderFormulaPtr originalImage() const;
    // The list with t, quick results for t's class.
    RUXRenderFormulaPtr previewImageWithTransformation(const RUXTransformationPtr& t) const;
    RUXRenderFormulaPtr highQualityPreviewImageWithTransformation(const RUXTransformationPtr& t) const;
    RUXRenderFormulaPtr highQualityPreviewForImage(const ImageEngine::ImagePtr& image,
                                                   const RUXTransformationPtr& t) const;
    // The thumbnail of a look: the list with t, reduced to what thumbnails apply (rotate, crop,
    // normalisation) and the filter, over the thumbnail image. Cached per object t, so the same
    // object answers the same formula until a geometric change empties the cache. Any thread.
    RUXRenderFormulaPtr thumbnailPreviewImageWithTransformation(const RUXTransformationPtr& t);
    RUXRenderFormulaPtr imageWithAllTransformationsExcept(const RUXClass& transformationClass) const;
    RUXRenderFormulaPtr imageWithTransformationClasses(const std::vector<const RUXClass*>& classes) const;
    RUXRenderFormulaPtr imageWithBaseImage(const ImageEngine::ImagePtr& image,
                                           const std::vector<const RUXClass*>& classes) const;

    // Empties the thumbnail cache. Any thread.
    void resetThumbnailCache();
    // Entries in the thumbnail cache. Any thread.
    std::size_t thumbnailCacheCount() const { return m_thumbnailCache.count(); }

private:
    RUXEditManager() = default;
    // Caller holds m_mutex.
    RUXTransformationPtr findTypeLocked(RUXTransformationType type) const;
    RUXTransformationList includingLocked(const RUXTransformationPtr& t) const;
    // formula with its resolution scale set from its source's width and the photo's.
    RUXRenderFormulaPtr scaledToPhoto(RUXRenderFormulaPtr formula) const;
    // Marks the outermost change in progress, so that nested slot sets (an undone list, a list
    // commit) reach the observer once, when the outermost call returns.
    class ChangeScope;

    ImageEngine::ImagePtr m_thumbnailImage;
    ImageEngine::ImagePtr m_lowResImage;
    // The photo until fullImage() has made the output picture from it; set once by m_fullImageOnce.
    mutable std::shared_ptr<const Graphics::BitmapImage> m_photo;
    RUXOutputResolution m_outputResolution = RUXOutputResolution::Limited;
    // The photo's upright width in pixels; 0 without a photo.
    double m_photoWidth = 0;
    double m_outputScale = 1.0;
    mutable std::once_flag m_fullImageOnce;
    mutable ImageEngine::ImagePtr m_fullImage;
    std::shared_ptr<Foundation::UndoManager> m_undoManager;
    // Safe for concurrent use on its own; its fills are ordered with list changes by m_mutex.
    mutable Foundation::Cache<RUXImageTransformation, RUXRenderFormula> m_thumbnailCache;

    // Main thread only.
    ChangeObserver m_changeObserver;
    int m_changeDepth = 0;
    bool m_changed = false;

    mutable std::mutex m_mutex;
    // Guarded by m_mutex.
    RUXTransformationList m_transformations;
    RUXRenderFormulaPtr m_committedImage;
};
