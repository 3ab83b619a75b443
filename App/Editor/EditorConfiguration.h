#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// rux-editor's configuration: the sample configuration's titles, names, tools and looks, and the
// added tools after the built-in six, named in English.
class EditorConfiguration final : public RUXImageEditorConfigurationProtocol {
public:
    std::string title() const override { return m_sample.title(); }
    std::string nextButton() const override { return m_sample.nextButton(); }
    std::optional<std::string>
    nameForTransformation(const RUXImageTransformation& transformation) const override;
    bool isTransformationEnabled(const RUXClass& transformationClass) const override {
        return m_sample.isTransformationEnabled(transformationClass);
    }
    std::vector<RUXTransformationPtr> userLooks() const override { return m_sample.userLooks(); }
    // The added tools that are registered, in the toolbar's order.
    std::vector<const RUXClass*> additionalToolClasses() const override;

    void addUserLook(std::shared_ptr<RUXUserLookTransformation> look) {
        m_sample.addUserLook(std::move(look));
    }

private:
    RUXImageEditorSampleConfiguration m_sample;
};
