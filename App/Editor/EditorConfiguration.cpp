#include <Editor/EditorConfiguration.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <string_view>

namespace {

struct AddedTool {
    std::string_view className;
    const char* name;
};

// In the toolbar's order: the geometry first, then the colour edits in the order they apply, then
// the effects.
constexpr AddedTool kAddedTools[] = {
    {"RUXStraightenTransformation", "Straighten"},
    {"RUXWhiteBalanceTransformation", "White Balance"},
    {"RUXExposureTransformation", "Exposure"},
    {"RUXHighlightsShadowsTransformation", "Highlights & Shadows"},
    {"RUXVibranceTransformation", "Vibrance"},
    {"RUXToneCurveTransformation", "Curve"},
    {"RUXVignetteTransformation", "Vignette"},
    {"RUXSharpenTransformation", "Sharpen"},
};

} // namespace

std::optional<std::string>
EditorConfiguration::nameForTransformation(const RUXImageTransformation& transformation) const {
    const std::string_view className = transformation.transformationClass().name;
    for (const AddedTool& tool : kAddedTools) {
        if (tool.className == className) {
            return std::string(tool.name);
        }
    }
    return m_sample.nameForTransformation(transformation);
}

std::vector<const RUXClass*> EditorConfiguration::additionalToolClasses() const {
    std::vector<const RUXClass*> classes;
    for (const AddedTool& tool : kAddedTools) {
        if (const RUXTransformationDeclaration* declaration =
                RUXTransformationRegistry::declarationNamed(tool.className)) {
            classes.push_back(declaration->transformationClass);
        }
    }
    return classes;
}
