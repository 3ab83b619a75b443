#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Toolkit/Application.h>
#include <Toolkit/NavigationController.h>

namespace Toolkit {

std::shared_ptr<Application> Application::create(std::shared_ptr<Window> window) {
    if (!window) {
        Foundation::log("Application: no window");
        return nullptr;
    }
    return std::shared_ptr<Application>(new Application(std::move(window)));
}

Application::~Application() {
    setRootViewController(nullptr);
}

void Application::setRootViewController(const std::shared_ptr<ViewController>& controller) {
    if (!Foundation::isMainThread()) {
        Foundation::log("Application::setRootViewController: called off the main thread; ignored");
        return;
    }
    if (controller == m_root)
        return;
    if (controller && (controller->parentViewController() || controller->presentingViewController())) {
        Foundation::log("Application: the root screen must not be shown elsewhere already");
        return;
    }
    if (m_root) {
        const std::shared_ptr<ViewController> old = m_root;
        // What the old root presents goes first, so that every screen shown gets its disappearance.
        if (old->presentedViewController())
            old->dismissViewController(Animated::No);
        old->beginAppearanceTransition(AppearanceTransition::Disappearing, Animated::No);
        if (old->isViewLoaded())
            old->view()->removeFromSuperview();
        m_root.reset();
        old->endAppearanceTransition();
    }
    if (!controller)
        return;
    m_root = controller;
    const std::shared_ptr<View> view = controller->view();
    view->setFrame(m_window->bounds());
    view->setAutoresizingMask(AutoresizingMask::FlexibleWidth | AutoresizingMask::FlexibleHeight);
    controller->beginAppearanceTransition(AppearanceTransition::Appearing, Animated::No);
    m_window->addSubview(view);
    m_window->layoutIfNeeded();
    controller->endAppearanceTransition();
}

std::shared_ptr<ViewController> Application::topViewController() const {
    std::shared_ptr<ViewController> top = m_root;
    while (top && top->presentedViewController())
        top = top->presentedViewController();
    return top;
}

bool Application::isStatusBarHidden() const {
    const std::shared_ptr<ViewController> top = topViewController();
    return top ? top->prefersStatusBarHidden() : false;
}

void Application::setWindowPointSize(Graphics::Size pointSize) {
    if (!Foundation::isMainThread()) {
        Foundation::log("Application::setWindowPointSize: called off the main thread; ignored");
        return;
    }
    if (!(pointSize.width > 0) || !(pointSize.height > 0)) {
        Foundation::log("Application: ignoring window size %g x %g", pointSize.width, pointSize.height);
        return;
    }
    m_window->setPointSize(pointSize);
    // Every screen whose view sits directly in the window covers the window.
    for (auto c = m_root; c; c = c->presentedViewController()) {
        if (c->isViewLoaded() && c->view()->superview() == m_window)
            c->view()->setFrame(m_window->bounds());
    }
    m_window->layoutIfNeeded();
}

void Application::setDeviceOrientation(Foundation::DeviceOrientation orientation) {
    if (!Foundation::isMainThread()) {
        Foundation::log("Application::setDeviceOrientation: called off the main thread; ignored");
        return;
    }
    using Foundation::DeviceOrientation;
    const Graphics::Size size = m_window->bounds().size;
    const double shortSide = std::min(size.width, size.height), longSide = std::max(size.width, size.height);
    switch (orientation) {
    case DeviceOrientation::Portrait:
    case DeviceOrientation::PortraitUpsideDown:
        setWindowPointSize({shortSide, longSide});
        break;
    case DeviceOrientation::LandscapeLeft:
    case DeviceOrientation::LandscapeRight:
        setWindowPointSize({longSide, shortSide});
        break;
    case DeviceOrientation::Unknown:
    case DeviceOrientation::FaceUp:
    case DeviceOrientation::FaceDown:
        break;
    }
    Foundation::setCurrentDeviceOrientation(orientation);
}

} // namespace Toolkit
