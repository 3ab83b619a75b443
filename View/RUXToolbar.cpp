#include <Toolkit/ScrollView.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Utility/RUXImageUtility.h>
#include <View/RUXToolScreens.h>
#include <View/RUXToolbar.h>
#include <algorithm>

namespace {

constexpr std::int32_t kToolbarColor = 0x282828;
// Four and a half buttons across: the cut button at the right edge is the only hint that the
// strip scrolls.
constexpr double kVisibleButtonsWhenScrolling = 4.5;

} // namespace

std::shared_ptr<RUXToolbar>
RUXToolbar::create(const Graphics::Rect& frame,
                   std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration) {
    std::shared_ptr<RUXToolbar> toolbar(new RUXToolbar(frame, std::move(configuration)));
    toolbar->setupToolbarContent();
    toolbar->setupScrollView();
    return toolbar;
}

RUXToolbar::RUXToolbar(const Graphics::Rect& frame,
                       std::shared_ptr<RUXImageEditorConfigurationProtocol> configuration)
    : Toolkit::View(frame), m_configuration(std::move(configuration)) {
    setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
    setBackgroundColor(RUXColorWithHexCode(kToolbarColor));
    m_scrollView = Toolkit::ScrollView::create();
    m_toolbarContent = Toolkit::View::create();
}

void RUXToolbar::setupToolbarContent() {
    struct Tool {
        const RUXClass& transformationClass;
        const char* image;
        const char* highlightImage;
        void (RUXToolbar::*action)();
    };
    // Rotate comes last on screen: it is the least used and may be scrolled to.
    const Tool tools[] = {
        {RUXCropTransformation::classDescriptor(), "ic_crop", "ic_crop_pressdown", &RUXToolbar::didPressCrop},
        {RUXBrightnessTransformation::classDescriptor(), "ic_brightness", "ic_brightness_pressdown",
         &RUXToolbar::didPressBrightness},
        {RUXSaturationTransformation::classDescriptor(), "ic_saturation", "ic_saturation_pressdown",
         &RUXToolbar::didPressSaturation},
        {RUXContrastTransformation::classDescriptor(), "ic_contrast", "ic_contrast_pressdown",
         &RUXToolbar::didPressContrast},
        {RUXBlurTransformation::classDescriptor(), "ic_blur", "ic_blur_pressdown", &RUXToolbar::didPressBlur},
        {RUXRotateTransformation::classDescriptor(), "ic_rotate", "ic_rotate_pressdown",
         &RUXToolbar::didPressRotate},
    };
    if (!m_configuration) {
        return;
    }
    const auto self = std::static_pointer_cast<RUXToolbar>(shared_from_this());
    for (const Tool& tool : tools) {
        if (m_configuration->isTransformationEnabled(tool.transformationClass)) {
            insertButton(tool.image, tool.highlightImage)
                ->addTarget(self, tool.action, Toolkit::ControlEvent::TouchUpInside);
        }
    }
    for (const RUXClass* transformationClass : m_configuration->additionalToolClasses()) {
        const RUXToolScreen* screen =
            transformationClass ? RUXToolScreenForClass(*transformationClass) : nullptr;
        if (!screen || !m_configuration->isTransformationEnabled(*transformationClass)) {
            continue;
        }
        std::weak_ptr<RUXToolbar> weak = self;
        insertButton(screen->image, screen->highlightImage)
            ->addAction(
                [weak, transformationClass](Toolkit::Control&) {
                    if (std::shared_ptr<RUXToolbar> toolbar = weak.lock()) {
                        toolbar->didPressTool(*transformationClass);
                    }
                },
                Toolkit::ControlEvent::TouchUpInside);
    }
}

std::shared_ptr<Toolkit::Button> RUXToolbar::insertButton(const std::string& imageName,
                                                          const std::string& highlightImageName) {
    auto button = Toolkit::Button::create(Toolkit::ButtonType::Custom);
    button->setBackgroundColor(RUXColorWithHexCode(kToolbarColor));
    button->setImage(RUXGetImage(imageName), Toolkit::ControlState::Normal);
    button->setImage(RUXGetImage(highlightImageName), Toolkit::ControlState::Highlighted);
    m_buttons.push_back(button);
    m_toolbarContent->addSubview(button);
    return button;
}

void RUXToolbar::setupScrollView() {
    m_scrollView->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
    m_scrollView->setCanCancelContentTouches(true);
    m_scrollView->setDelaysContentTouches(true);
    m_scrollView->setShowsHorizontalScrollIndicator(false);
    m_scrollView->setShowsVerticalScrollIndicator(false);
    m_scrollView->addSubview(m_toolbarContent);
    addSubview(m_scrollView);
}

void RUXToolbar::layoutSubviews() {
    Toolkit::View::layoutSubviews();
    const Graphics::Rect frame = this->frame();
    const double width = frame.width(), height = frame.height();
    const std::size_t count = m_buttons.size();
    // Without buttons there is nothing to divide the width among; the content is then empty.
    m_buttonWidth = count ? width / std::min(double(count), kVisibleButtonsWhenScrolling) : 0;
    m_buttonHeight = height;
    for (std::size_t i = 0; i < count; ++i) {
        m_buttons[i]->setFrame({m_buttonWidth * double(i), 0, m_buttonWidth, m_buttonHeight});
    }
    // The scroll view first: resizing it afterwards would push the content down by its flexible
    // top margin.
    m_scrollView->setFrame({0, 0, width, height});
    m_toolbarContent->setFrame({0, 0, m_buttonWidth * double(count), height});
    m_toolbarContent->setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
    m_scrollView->setContentSize(m_toolbarContent->frame().size);
}

// A delegate that is gone receives nothing.
#define RUX_TOOLBAR_ACTION(action, message)                                                                  \
    void RUXToolbar::action() {                                                                              \
        if (std::shared_ptr<RUXToolbarDelegate> delegate = m_delegate.lock()) {                              \
            delegate->message(*this);                                                                        \
        }                                                                                                    \
    }
RUX_TOOLBAR_ACTION(didPressRotate, toolbarDidPressRotate)
RUX_TOOLBAR_ACTION(didPressCrop, toolbarDidPressCrop)
RUX_TOOLBAR_ACTION(didPressBrightness, toolbarDidPressBrightness)
RUX_TOOLBAR_ACTION(didPressSaturation, toolbarDidPressSaturation)
RUX_TOOLBAR_ACTION(didPressContrast, toolbarDidPressContrast)
RUX_TOOLBAR_ACTION(didPressBlur, toolbarDidPressBlur)
#undef RUX_TOOLBAR_ACTION

void RUXToolbar::didPressTool(const RUXClass& transformationClass) {
    if (std::shared_ptr<RUXToolbarDelegate> delegate = m_delegate.lock()) {
        delegate->toolbarDidPressTool(*this, transformationClass);
    }
}
