#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How a host adapts the editor: titles, the name of every tool and look, and which are offered.
// Only asked questions, on the main thread; classes are told apart exactly (a subclass is not
// its parent).
class RUX_API RUXImageEditorConfigurationProtocol {
public:
    virtual ~RUXImageEditorConfigurationProtocol() = default;
    // The main screen's title.
    virtual std::string title() const = 0;
    // The save button's text.
    virtual std::string nextButton() const = 0;
    // The display name of the object's exact class, or std::nullopt for none.
    virtual std::optional<std::string>
    nameForTransformation(const RUXImageTransformation& transformation) const = 0;
    // Whether the tool or look of that class is offered.
    virtual bool isTransformationEnabled(const RUXClass& transformationClass) const = 0;
    // Looks of the host's own (transformations of the filter type, such as .cube looks), offered in
    // the strip after the built-in looks, in this order, each under nameForTransformation. Asked
    // once, when the strip is made; the strip commits these very objects. None by default.
    virtual std::vector<RUXTransformationPtr> userLooks() const { return {}; }
    // Tools beyond the built-in six, offered after them in the toolbar in this order (which then
    // scrolls): each a transformation class with a tool screen (see View/RUXToolScreens.h); a class
    // without one, or one isTransformationEnabled refuses, is left out. Asked once, when the toolbar
    // is made. None by default.
    virtual std::vector<const RUXClass*> additionalToolClasses() const { return {}; }
};

// Offers every tool and look under English names.
class RUX_API RUXImageEditorSampleConfiguration final : public RUXImageEditorConfigurationProtocol {
public:
    std::string title() const override { return "Edit Image"; }
    std::string nextButton() const override { return "SAVE"; }
    std::optional<std::string>
    nameForTransformation(const RUXImageTransformation& transformation) const override;
    // Every class of the table, and any class it does not know, is enabled.
    bool isTransformationEnabled(const RUXClass& transformationClass) const override;
    // The looks added with addUserLook, in that order; each is named by its own name().
    std::vector<RUXTransformationPtr> userLooks() const override;
    // Offers a look of the user's own after the built-in ones; a nullptr look is ignored. Call before
    // the editor's main screen is shown. Main thread.
    void addUserLook(std::shared_ptr<RUXUserLookTransformation> look);

    // The display name of a class, by its exact name; std::nullopt when the table lacks it.
    static std::optional<std::string> nameForClassName(const std::string& className);
    // The class whose display name this is (the first in table order), or nullptr.
    static const RUXClass* classForDisplayName(const std::string& displayName);

private:
    std::vector<RUXTransformationPtr> m_userLooks;
};
