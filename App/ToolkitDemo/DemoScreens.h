#pragma once

#include <Toolkit/Button.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/Label.h>
#include <Toolkit/NavigationController.h>
#include <memory>
#include <vector>

namespace Demo {

// The demo's first screen: a picture, a counter and three buttons (count, present a screen,
// hide or show the navigation bar). Pinching the picture zooms it.
class DemoViewController : public Toolkit::ViewController {
public:
    static std::shared_ptr<DemoViewController> create() {
        return std::shared_ptr<DemoViewController>(new DemoViewController);
    }
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    int count() const { return m_count; }

private:
    DemoViewController() = default;
    void didPressCount();
    void didPressPresent();
    void didPressBar();
    void showCount();

    std::shared_ptr<Toolkit::ImageView> m_imageView;
    std::shared_ptr<Toolkit::Label> m_countLabel;
    std::vector<std::shared_ptr<Toolkit::Button>> m_buttons;
    int m_count = 0;
};

// A screen presented over the first one; its close button, or any tap, dismisses it.
class ModalViewController : public Toolkit::ViewController {
public:
    static std::shared_ptr<ModalViewController> create() {
        return std::shared_ptr<ModalViewController>(new ModalViewController);
    }
    void viewDidLoad() override;
    bool prefersStatusBarHidden() const override { return true; }

    void viewDidLayoutSubviews() override;

private:
    ModalViewController() = default;
    std::shared_ptr<Toolkit::Label> m_label;
    std::shared_ptr<Toolkit::Button> m_closeButton;
};

// The demo's root: the first screen inside a navigation controller.
std::shared_ptr<Toolkit::ViewController> makeDemoRoot();

} // namespace Demo
