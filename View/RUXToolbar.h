#pragma once

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Export.h>
#include <Toolkit/Button.h>
#include <Toolkit/View.h>
#include <memory>
#include <vector>

namespace Toolkit {
class ScrollView;
}
class RUXToolbar;

// Told which tool button was pressed (touch up inside). Main thread.
class RUX_API RUXToolbarDelegate {
public:
    virtual ~RUXToolbarDelegate() = default;
    virtual void toolbarDidPressRotate(RUXToolbar& toolbar) = 0;
    virtual void toolbarDidPressCrop(RUXToolbar& toolbar) = 0;
    virtual void toolbarDidPressBrightness(RUXToolbar& toolbar) = 0;
    virtual void toolbarDidPressSaturation(RUXToolbar& toolbar) = 0;
    virtual void toolbarDidPressContrast(RUXToolbar& toolbar) = 0;
    virtual void toolbarDidPressBlur(RUXToolbar& toolbar) = 0;
    // One of the configuration's additional tools, by its transformation class.
    virtual void toolbarDidPressTool(RUXToolbar& toolbar, const RUXClass& transformationClass) {
        (void)toolbar;
        (void)transformationClass;
    }
};

// The strip of tool buttons under the filter strip: crop, brightness, saturation, contrast, blur
// and rotate, left to right, then the configuration's additional tools that have a tool screen, in
// its order, leaving out what the configuration disables (without a gap). Up to
// four share the width; with more, each is a 4.5th of it, so that the half button at the right
// edge shows the strip scrolls. Main thread only.
class RUX_API RUXToolbar : public Toolkit::View {
public:
    // Never nullptr; the caller owns it. The configuration is asked once, here, which tools to
    // offer; a nullptr configuration offers none.
    static std::shared_ptr<RUXToolbar>
    create(const Graphics::Rect& frame, std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration);

    std::shared_ptr<RUXToolbarDelegate> delegate() const { return m_delegate.lock(); }
    // Held weakly.
    void setDelegate(const std::shared_ptr<RUXToolbarDelegate>& delegate) { m_delegate = delegate; }
    const std::shared_ptr<RUXImageEditorConfigurationProtocol>& configuration() const {
        return m_configuration;
    }

    const std::shared_ptr<Toolkit::ScrollView>& scrollView() const { return m_scrollView; }
    const std::shared_ptr<Toolkit::View>& toolbarContent() const { return m_toolbarContent; }
    // Left to right.
    const std::vector<std::shared_ptr<Toolkit::Button>>& buttons() const { return m_buttons; }
    // Set by layout; 0 without buttons.
    double buttonWidth() const { return m_buttonWidth; }
    double buttonHeight() const { return m_buttonHeight; }

    void layoutSubviews() override;

    // The buttons' actions.
    void didPressRotate();
    void didPressCrop();
    void didPressBrightness();
    void didPressSaturation();
    void didPressContrast();
    void didPressBlur();
    // The additional tool of that class.
    void didPressTool(const RUXClass& transformationClass);

protected:
    RUXToolbar(const Graphics::Rect& frame,
               std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration);

private:
    void setupToolbarContent();
    std::shared_ptr<Toolkit::Button> insertButton(const std::string& imageName,
                                                  const std::string& highlightImageName);
    void setupScrollView();

    std::weak_ptr<RUXToolbarDelegate> m_delegate;
    std::shared_ptr<RUXImageEditorConfigurationProtocol> m_configuration;
    std::shared_ptr<Toolkit::ScrollView> m_scrollView;
    std::shared_ptr<Toolkit::View> m_toolbarContent;
    std::vector<std::shared_ptr<Toolkit::Button>> m_buttons;
    double m_buttonWidth = 0;
    double m_buttonHeight = 0;
};
