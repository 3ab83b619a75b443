#include <Configuration/RUXImageEditorConfiguration.h>
#include <Transformation/RUXFilters.h>
#include <map>
#include <utility>

namespace {
// In the order the toolbar and filter strip present them.
constexpr std::pair<const char*, const char*> kTable[] = {
    {"RUXBrightnessTransformation", "Brightness"},
    {"RUXSaturationTransformation", "Saturation"},
    {"RUXContrastTransformation", "Contrast"},
    {"RUXBlurTransformation", "Blur"},
    {"RUXRotateTransformation", "Rotate"},
    {"RUXCropTransformation", "Crop"},
    {"RUXFilterIdentity", "Original"},
    {"RUXFilterAden", "Nocturne"},
    {"RUXFilterCrema", "Fugue"},
    {"RUXFilterJuno", "Overture"},
    {"RUXFilterLark", "Opera"},
    {"RUXFilterLudwig", "Serenade"},
    {"RUXFilterReyes", "Rhapsody"},
    {"RUXFilterSlumber", "Symphony"},
    {"RUXFilterTokyo", "Etude"},
    {"RUXFilterValencia", "Cantata"},
    {"RUXFilterCaprice", "Prelude"},
    {"RUXFilterInstant", "Homophony"},
    {"RUXFilterVivid", "March"},
    {"RUXFilterPro", "Chorale"},
};
} // namespace

std::optional<std::string> RUXImageEditorSampleConfiguration::nameForClassName(const std::string& className) {
    static const std::map<std::string, std::string> names(std::begin(kTable), std::end(kTable));
    if (auto it = names.find(className); it != names.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::optional<std::string>
RUXImageEditorSampleConfiguration::nameForTransformation(const RUXImageTransformation& transformation) const {
    if (auto* userLook = dynamic_cast<const RUXUserLookTransformation*>(&transformation)) {
        return userLook->name();
    }
    return nameForClassName(transformation.transformationClass().name);
}

std::vector<RUXTransformationPtr> RUXImageEditorSampleConfiguration::userLooks() const {
    return m_userLooks;
}

void RUXImageEditorSampleConfiguration::addUserLook(std::shared_ptr<RUXUserLookTransformation> look) {
    if (look) {
        m_userLooks.push_back(std::move(look));
    }
}

bool RUXImageEditorSampleConfiguration::isTransformationEnabled(const RUXClass&) const {
    return true;
}

const RUXClass* RUXImageEditorSampleConfiguration::classForDisplayName(const std::string& displayName) {
    for (const auto& [className, name] : kTable) {
        if (displayName == name) {
            return RUXTransformationClassNamed(className);
        }
    }
    return nullptr;
}
