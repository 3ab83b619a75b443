#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXFilters.h>
#include <Utility/RUXImageUtility.h>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXFilterBase)
RUX_DEFINE_TRANSFORMATION_CLASS(RUXFilterWithOverlayBase)
RUX_DEFINE_TRANSFORMATION_CLASS(RUXFilterIdentity)

std::shared_ptr<RUXFilterLookupTable> RUXFilterBase::lookupTable() const {
    std::lock_guard lock(m_mutex);
    return m_lookupTable;
}

void RUXFilterBase::setLookupTable(std::shared_ptr<RUXFilterLookupTable> table) {
    std::lock_guard lock(m_mutex);
    m_lookupTable = std::move(table);
}

ImageEngine::ImagePtr RUXFilterBase::lookupTableResult(const ImageEngine::ImagePtr& image) {
    std::shared_ptr<RUXFilterLookupTable> table;
    {
        // Held across the load, so concurrent first renders load the table once.
        std::lock_guard lock(m_mutex);
        if (!m_lookupTable) {
            m_lookupTable = loadLookupTable();
        }
        table = m_lookupTable;
    }
    if (!table) {
        return image;
    }
    return table->resultFromImage(image);
}

ImageEngine::ImagePtr RUXFilterBase::resultFromImage(const ImageEngine::ImagePtr& image, RUXImageMetadata&) {
    return lookupTableResult(image);
}

ImageEngine::ImagePtr RUXFilterWithOverlayBase::overlayFromSlot(OverlaySlot& slot, const char* resourceName) {
    std::lock_guard lock(slot.mutex);
    if (!slot.image) {
        if (auto bitmapImage = RUXGetImage(resourceName)) {
            slot.image = ImageEngine::Image::createWithBitmap(bitmapImage->bitmap());
        }
    }
    return slot.image;
}

ImageEngine::ImagePtr RUXFilterWithOverlayBase::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                RUXImageMetadata& metadata) {
    auto base = RUXFilterBase::resultFromImage(image, metadata);
    auto overlay = overlayImage();
    if (!base || !overlay) {
        return base;
    }
    Graphics::Rect baseExtent = base->extent(), overlayExtent = overlay->extent();
    if (baseExtent.isEmpty() || overlayExtent.isEmpty()) {
        return base;
    }
    double sx = baseExtent.width() / overlayExtent.width();
    double sy = baseExtent.height() / overlayExtent.height();
    auto scaled = overlay->imageByApplyingTransform(Graphics::AffineTransform::makeScale(sx, sy));
    return RUXFilterOutput(RUXFilterName::overlayBlendMode,
                           {{RUXFilterKey::image, scaled}, {RUXFilterKey::backgroundImage, base}});
}

#define RUX_DEFINE_LOOK(ClassName, tableName)                                                                \
    RUX_DEFINE_TRANSFORMATION_CLASS(ClassName)                                                               \
    std::shared_ptr<RUXFilterLookupTable> ClassName::loadLookupTable() {                                     \
        return RUXFilterLookupTable::lookupTableNamed(tableName);                                            \
    }
#define RUX_DEFINE_OVERLAY_LOOK(ClassName, tableName, overlayName)                                           \
    RUX_DEFINE_LOOK(ClassName, tableName)                                                                    \
    ImageEngine::ImagePtr ClassName::overlayImage() const {                                                  \
        static OverlaySlot slot;                                                                             \
        return overlayFromSlot(slot, overlayName);                                                           \
    }

RUX_DEFINE_LOOK(RUXFilterAden, "lut_aden_map")
RUX_DEFINE_OVERLAY_LOOK(RUXFilterCaprice, "lut_caprice_map", "overlay_caprice_darkcorner")
RUX_DEFINE_LOOK(RUXFilterCrema, "lut_crema_map")
RUX_DEFINE_LOOK(RUXFilterCustom, "lut_custom_map")
RUX_DEFINE_OVERLAY_LOOK(RUXFilterInstant, "lut_instant_map", "overlay_instant_darkcorner")
RUX_DEFINE_LOOK(RUXFilterJuno, "lut_juno_map")
RUX_DEFINE_LOOK(RUXFilterLark, "lut_lark_map")
RUX_DEFINE_LOOK(RUXFilterLudwig, "lut_ludwig_map")
RUX_DEFINE_OVERLAY_LOOK(RUXFilterPro, "lut_pro_map", "overlay_pro_darkcorner")
RUX_DEFINE_LOOK(RUXFilterReyes, "lut_reyes_map")
RUX_DEFINE_LOOK(RUXFilterSlumber, "lut_slumber_map")
RUX_DEFINE_OVERLAY_LOOK(RUXFilterTokyo, "lut_tokyo_map", "overlay_tokyo_darkcorner")
RUX_DEFINE_LOOK(RUXFilterValencia, "lut_valencia_map")
RUX_DEFINE_OVERLAY_LOOK(RUXFilterVivid, "lut_vivid_map", "overlay_vivid_darkcorner")

const std::vector<const RUXClass*>& RUXOfferedLookClasses() {
    static const std::vector<const RUXClass*> classes{
        &RUXFilterAden::classDescriptor(),     &RUXFilterCrema::classDescriptor(),
        &RUXFilterJuno::classDescriptor(),     &RUXFilterLark::classDescriptor(),
        &RUXFilterLudwig::classDescriptor(),   &RUXFilterReyes::classDescriptor(),
        &RUXFilterSlumber::classDescriptor(),  &RUXFilterTokyo::classDescriptor(),
        &RUXFilterValencia::classDescriptor(), &RUXFilterCaprice::classDescriptor(),
        &RUXFilterInstant::classDescriptor(),  &RUXFilterVivid::classDescriptor(),
        &RUXFilterPro::classDescriptor()};
    return classes;
}
