#pragma once

#include <Foundation/Export.h>
#include <Toolkit/Button.h>
#include <Toolkit/View.h>
#include <memory>

class RUXOkCancelBar;

// Told of the two presses of a tool screen's bottom bar.
class RUX_API RUXOkCancelBarDelegate {
public:
    virtual ~RUXOkCancelBarDelegate() = default;
    virtual void okCancelBarDidPressOkButton(RUXOkCancelBar& bar) = 0;
    virtual void okCancelBarDidPressCancelButton(RUXOkCancelBar& bar) = 0;
};

// The bottom bar of a tool screen: Cancel on the left, OK on the right, split by a one-point seam
// of the bar's darker background. The buttons are sized once, from the bar's width at creation;
// the bar stays glued to the bottom of a growing superview. Main thread only.
class RUX_API RUXOkCancelBar : public Toolkit::View {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXOkCancelBar> create(const Graphics::Rect& frame);

    // Held weakly: the screen that owns the bar is its delegate.
    std::shared_ptr<RUXOkCancelBarDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<RUXOkCancelBarDelegate>& delegate) { m_delegate = delegate; }
    const std::shared_ptr<Toolkit::Button>& okButton() const { return m_okButton; }
    void setOkButton(std::shared_ptr<Toolkit::Button> button) { m_okButton = std::move(button); }
    const std::shared_ptr<Toolkit::Button>& cancelButton() const { return m_cancelButton; }
    void setCancelButton(std::shared_ptr<Toolkit::Button> button) { m_cancelButton = std::move(button); }

    // The button actions; each tells the delegate, if it is still there.
    void didPressOkButton();
    void didPressCancelButton();

protected:
    explicit RUXOkCancelBar(const Graphics::Rect& frame);

private:
    void setupButtons();

    std::weak_ptr<RUXOkCancelBarDelegate> m_delegate;
    std::shared_ptr<Toolkit::Button> m_okButton;
    std::shared_ptr<Toolkit::Button> m_cancelButton;
};
