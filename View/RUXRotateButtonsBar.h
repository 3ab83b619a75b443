#pragma once

#include <Foundation/Export.h>
#include <Toolkit/Button.h>
#include <Toolkit/View.h>
#include <memory>

class RUXRotateButtonsBar;

// Told of the four presses of the rotate screen's button strip.
class RUX_API RUXRotateButtonsBarDelegate {
public:
    virtual ~RUXRotateButtonsBarDelegate() = default;
    virtual void rotateButtonsBarDidPressRotateCW(RUXRotateButtonsBar& bar) = 0;
    virtual void rotateButtonsBarDidPressRotateCCW(RUXRotateButtonsBar& bar) = 0;
    virtual void rotateButtonsBarDidPressFlipVertical(RUXRotateButtonsBar& bar) = 0;
    virtual void rotateButtonsBarDidPressFlipHorizontal(RUXRotateButtonsBar& bar) = 0;
};

// Four equal buttons across the bar, left to right: turn counter-clockwise, turn clockwise, flip
// vertically, flip horizontally; each shows its pressed icon while held. Sized once, from the bar's
// frame at creation. Main thread only.
class RUX_API RUXRotateButtonsBar : public Toolkit::View {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXRotateButtonsBar> create(const Graphics::Rect& frame);

    // Held weakly: the screen that owns the bar is its delegate.
    std::shared_ptr<RUXRotateButtonsBarDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<RUXRotateButtonsBarDelegate>& delegate) { m_delegate = delegate; }
    // The plain view, as large as the bar, that holds the buttons.
    const std::shared_ptr<Toolkit::View>& contents() const { return m_contents; }
    void setContents(std::shared_ptr<Toolkit::View> contents) { m_contents = std::move(contents); }

    // The button actions; each tells the delegate, if it is still there.
    void didPressRotateCCW();
    void didPressRotateCW();
    void didPressFlipVertical();
    void didPressFlipHorizontal();

protected:
    explicit RUXRotateButtonsBar(const Graphics::Rect& frame);

private:
    void setupContents();

    std::weak_ptr<RUXRotateButtonsBarDelegate> m_delegate;
    std::shared_ptr<Toolkit::View> m_contents;
};
