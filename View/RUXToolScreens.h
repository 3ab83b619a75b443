#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Export.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <View/RUXTransformationViewControllerBase.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The tools offered beyond the built-in six: for each transformation class, the toolbar's icon and
// how to make its tool screen. The editor's own added tools are known from the start; a host adds
// screens for its own classes with RUXToolScreenRegistration. Which of them a toolbar shows is the
// configuration's additionalToolClasses(). Main thread.

using RUXToolScreenMaker = std::function<std::shared_ptr<RUXTransformationViewControllerBase>(
    std::shared_ptr<RUXImageEditorConfigurationProtocol>, std::shared_ptr<RUXEditManager>,
    std::shared_ptr<RUXImageRenderer>)>;

struct RUXToolScreen {
    const RUXClass* transformationClass = nullptr;
    // Resource names of the toolbar button's image and its pressed twin.
    std::string image;
    std::string highlightImage;
    // Makes a new screen; never answers nullptr for a registered tool.
    RUXToolScreenMaker make;
};

// The tool of that exact class: the host's registrations first, then the editor's own; nullptr for
// a class without a screen.
RUX_API const RUXToolScreen* RUXToolScreenForClass(const RUXClass& transformationClass);

// Keeps a host's tool screen known for its own lifetime; it takes the place of the editor's own
// screen of the same class. Refused, with one log line, without a class or a maker.
class RUX_API RUXToolScreenRegistration {
public:
    explicit RUXToolScreenRegistration(RUXToolScreen screen);
    ~RUXToolScreenRegistration();
    RUXToolScreenRegistration(const RUXToolScreenRegistration&) = delete;
    RUXToolScreenRegistration& operator=(const RUXToolScreenRegistration&) = delete;

    bool isRegistered() const { return m_screen != nullptr; }

private:
    const RUXToolScreen* m_screen = nullptr;
};
