#include <Utility/RUXImageUtility.h>
#include <View/RUXOkCancelBar.h>

namespace {
constexpr double kButtonHeight = 48;
} // namespace

std::shared_ptr<RUXOkCancelBar> RUXOkCancelBar::create(const Graphics::Rect& frame) {
    std::shared_ptr<RUXOkCancelBar> bar(new RUXOkCancelBar(frame));
    // The buttons' actions hold the bar weakly, which needs the bar's owner to exist first.
    bar->setupButtons();
    return bar;
}

RUXOkCancelBar::RUXOkCancelBar(const Graphics::Rect& frame) : Toolkit::View(frame) {
    setBackgroundColor(RUXColorWithHexCode(0x191919));
    setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
}

void RUXOkCancelBar::setupButtons() {
    const double half = (bounds().size.width - 1) * 0.5;
    auto self = std::static_pointer_cast<RUXOkCancelBar>(shared_from_this());

    m_okButton = Toolkit::Button::create(Toolkit::ButtonType::Custom);
    m_okButton->setBackgroundColor(RUXColorWithHexCode(0x282828));
    m_okButton->setImage(RUXGetImage("ic_control_done"), Toolkit::ControlState::Normal);
    m_okButton->setFrame({half + 1, 0, half, kButtonHeight});
    m_okButton->addTarget(self, &RUXOkCancelBar::didPressOkButton, Toolkit::ControlEvent::TouchUpInside);
    addSubview(m_okButton);

    m_cancelButton = Toolkit::Button::create(Toolkit::ButtonType::Custom);
    m_cancelButton->setBackgroundColor(RUXColorWithHexCode(0x282828));
    m_cancelButton->setImage(RUXGetImage("ic_control_cancel"), Toolkit::ControlState::Normal);
    m_cancelButton->setFrame({0, 0, half, kButtonHeight});
    m_cancelButton->addTarget(self, &RUXOkCancelBar::didPressCancelButton,
                              Toolkit::ControlEvent::TouchUpInside);
    addSubview(m_cancelButton);
}

void RUXOkCancelBar::didPressOkButton() {
    if (auto delegate = m_delegate.lock()) {
        delegate->okCancelBarDidPressOkButton(*this);
    }
}

void RUXOkCancelBar::didPressCancelButton() {
    if (auto delegate = m_delegate.lock()) {
        delegate->okCancelBarDidPressCancelButton(*this);
    }
}
