#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXFilterLookupTable.h>
#include <Transformation/RUXImageTransformation.h>
#include <mutex>
#include <vector>

// A colour look: a lookup table applied through the engine's colour cube. The table loads at the
// first render of each instance, once even when several renders reach it together; a look whose
// table cannot be loaded passes images through and tries again on the next render.
class RUX_API RUXFilterBase : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXFilterBase)
public:
    RUXTransformationType type() const override { return RUXTransformationTypeFilter; }
    double sortOrder() const override { return 3.0; }

    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    // A new instance of this object's own class without a loaded table.
    RUXTransformationPtr copy() const override { return transformationClass().create(); }

    // The loaded table, or nullptr before the first render or when it could not be loaded. Any thread.
    std::shared_ptr<RUXFilterLookupTable> lookupTable() const;
    void setLookupTable(std::shared_ptr<RUXFilterLookupTable> table);

protected:
    // The table this look applies; the base look has none. Called with the table lock held.
    virtual std::shared_ptr<RUXFilterLookupTable> loadLookupTable() { return nullptr; }
    ImageEngine::ImagePtr lookupTableResult(const ImageEngine::ImagePtr& image);

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<RUXFilterLookupTable> m_lookupTable; // guarded by m_mutex
};

// A look that lays a dark-corner overlay over its table's result with an overlay blend, scaled to
// cover the image exactly.
class RUX_API RUXFilterWithOverlayBase : public RUXFilterBase {
    RUX_TRANSFORMATION_CLASS(RUXFilterWithOverlayBase)
public:
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    // The class's overlay recipe, loaded once per class for the whole process; nullptr when the
    // class has none or its resource is missing (then the next call tries again). Any thread.
    virtual ImageEngine::ImagePtr overlayImage() const { return nullptr; }

protected:
    // One per overlay class: filled at the first successful load, then never replaced.
    struct OverlaySlot {
        std::mutex mutex;
        ImageEngine::ImagePtr image; // guarded by mutex
    };
    static ImageEngine::ImagePtr overlayFromSlot(OverlaySlot& slot, const char* resourceName);
};

// No look at all: both results are the input image object itself.
class RUX_API RUXFilterIdentity final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXFilterIdentity)
public:
    RUXTransformationType type() const override { return RUXTransformationTypeFilter; }
    double sortOrder() const override { return 3.0; }
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image, RUXImageMetadata&) override {
        return image;
    }
    ImageEngine::ImagePtr quickResultFromImage(const ImageEngine::ImagePtr& image,
                                               RUXImageMetadata&) override {
        return image;
    }
    RUXTransformationPtr copy() const override { return std::make_shared<RUXFilterIdentity>(); }
};

#define RUX_LOOK(ClassName, Base)                                                                            \
    class RUX_API ClassName final : public Base {                                                            \
        RUX_TRANSFORMATION_CLASS(ClassName)                                                                  \
    protected:                                                                                               \
        std::shared_ptr<RUXFilterLookupTable> loadLookupTable() override;                                    \
    };
#define RUX_OVERLAY_LOOK(ClassName)                                                                          \
    class RUX_API ClassName final : public RUXFilterWithOverlayBase {                                        \
        RUX_TRANSFORMATION_CLASS(ClassName)                                                                  \
    public:                                                                                                  \
        ImageEngine::ImagePtr overlayImage() const override;                                                 \
                                                                                                             \
    protected:                                                                                               \
        std::shared_ptr<RUXFilterLookupTable> loadLookupTable() override;                                    \
    };

RUX_LOOK(RUXFilterAden, RUXFilterBase)
RUX_OVERLAY_LOOK(RUXFilterCaprice)
RUX_LOOK(RUXFilterCrema, RUXFilterBase)
RUX_LOOK(RUXFilterCustom, RUXFilterBase)
RUX_OVERLAY_LOOK(RUXFilterInstant)
RUX_LOOK(RUXFilterJuno, RUXFilterBase)
RUX_LOOK(RUXFilterLark, RUXFilterBase)
RUX_LOOK(RUXFilterLudwig, RUXFilterBase)
RUX_OVERLAY_LOOK(RUXFilterPro)
RUX_LOOK(RUXFilterReyes, RUXFilterBase)
RUX_LOOK(RUXFilterSlumber, RUXFilterBase)
RUX_OVERLAY_LOOK(RUXFilterTokyo)
RUX_LOOK(RUXFilterValencia, RUXFilterBase)
RUX_OVERLAY_LOOK(RUXFilterVivid)

#undef RUX_LOOK
#undef RUX_OVERLAY_LOOK

// The thirteen looks the filter strip offers, in its order, after the identity ("Original"); the
// custom look is complete but not offered. Any thread; the descriptors live for the process.
RUX_API const std::vector<const RUXClass*>& RUXOfferedLookClasses();

// Every concrete transformation class of the editor: the tools' classes, the look bases, the
// identity and the custom look, then the offered looks in the strip's order. Any thread; the
// descriptors live for the process.
RUX_API const std::vector<const RUXClass*>& RUXTransformationClasses();

// The class of RUXTransformationClasses() with this name; nullptr for an unknown name. Any thread.
RUX_API const RUXClass* RUXTransformationClassNamed(const std::string& name);
