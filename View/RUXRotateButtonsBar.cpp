#include <Utility/RUXImageUtility.h>
#include <View/RUXRotateButtonsBar.h>

std::shared_ptr<RUXRotateButtonsBar> RUXRotateButtonsBar::create(const Graphics::Rect& frame) {
    std::shared_ptr<RUXRotateButtonsBar> bar(new RUXRotateButtonsBar(frame));
    // The buttons' actions hold the bar weakly, which needs the bar's owner to exist first.
    bar->setupContents();
    return bar;
}

RUXRotateButtonsBar::RUXRotateButtonsBar(const Graphics::Rect& frame) : Toolkit::View(frame) {
    setBackgroundColor(RUXColorWithHexCode(0x191919));
    setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleTopMargin);
    m_contents = Toolkit::View::create({0, 0, frame.size.width, frame.size.height});
}

void RUXRotateButtonsBar::setupContents() {
    struct ButtonRole {
        const char* image;
        const char* pressedImage;
        void (RUXRotateButtonsBar::*action)();
    };
    static constexpr ButtonRole kButtons[] = {
        {"ic_rotate_left", "ic_rotate_left_pressdown", &RUXRotateButtonsBar::didPressRotateCCW},
        {"ic_rotate_right", "ic_rotate_right_pressdown", &RUXRotateButtonsBar::didPressRotateCW},
        {"ic_flip_v", "ic_flip_v_pressdown", &RUXRotateButtonsBar::didPressFlipVertical},
        {"ic_flip_h", "ic_flip_h_pressdown", &RUXRotateButtonsBar::didPressFlipHorizontal},
    };
    const Graphics::Rect barFrame = frame();
    const double w = barFrame.size.width * 0.25;
    auto self = std::static_pointer_cast<RUXRotateButtonsBar>(shared_from_this());
    for (int i = 0; i < 4; ++i) {
        auto button = Toolkit::Button::create(Toolkit::ButtonType::Custom);
        // The bar's own colour, so that the strip reads as one surface.
        button->setBackgroundColor(RUXColorWithHexCode(0x191919));
        button->setImage(RUXGetImage(kButtons[i].image), Toolkit::ControlState::Normal);
        button->setImage(RUXGetImage(kButtons[i].pressedImage), Toolkit::ControlState::Highlighted);
        button->setFrame({i * w, 0, w, barFrame.size.height});
        button->addTarget(self, kButtons[i].action, Toolkit::ControlEvent::TouchUpInside);
        m_contents->addSubview(button);
    }
    addSubview(m_contents);
}

void RUXRotateButtonsBar::didPressRotateCCW() {
    if (auto delegate = m_delegate.lock()) {
        delegate->rotateButtonsBarDidPressRotateCCW(*this);
    }
}

void RUXRotateButtonsBar::didPressRotateCW() {
    if (auto delegate = m_delegate.lock()) {
        delegate->rotateButtonsBarDidPressRotateCW(*this);
    }
}

void RUXRotateButtonsBar::didPressFlipVertical() {
    if (auto delegate = m_delegate.lock()) {
        delegate->rotateButtonsBarDidPressFlipVertical(*this);
    }
}

void RUXRotateButtonsBar::didPressFlipHorizontal() {
    if (auto delegate = m_delegate.lock()) {
        delegate->rotateButtonsBarDidPressFlipHorizontal(*this);
    }
}
