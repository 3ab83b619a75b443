#pragma once

#include <Foundation/Export.h>
#include <Foundation/NotificationCenter.h>
#include <Toolkit/ViewController.h>
#include <Toolkit/Window.h>
#include <memory>

namespace Toolkit {

// The key window and the screen at its root: what a host drives. The host feeds the window
// touches and draws its framebuffer; the application shows the root screen in the window and
// keeps the screens' views sized to it. Main thread only: the setters called from another thread
// do nothing but log one line.
class RUX_API Application {
public:
    // An application over window; nullptr (and one log line) when window is nullptr.
    static std::shared_ptr<Application> create(std::shared_ptr<Window> window);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    const std::shared_ptr<Window>& keyWindow() const { return m_window; }

    std::shared_ptr<ViewController> rootViewController() const { return m_root; }
    // Shows controller's view over the whole window, after the previous root screen (with
    // anything it presents) has disappeared; the new root receives viewWillAppear, a layout pass
    // and viewDidAppear before this returns. nullptr just removes the old root; a controller that
    // is another's child or is presented is refused with one log line.
    void setRootViewController(const std::shared_ptr<ViewController>& controller);
    // The screen the user sees: the last one presented over the root, or the root; nullptr without root.
    std::shared_ptr<ViewController> topViewController() const;
    // What the screen on top prefers (a navigation controller answers for its top child).
    bool isStatusBarHidden() const;

    // Resizes the window and every screen's view shown in it (the host's window was resized).
    void setWindowPointSize(Graphics::Size pointSize);
    // The device turned: a portrait orientation makes the window taller than wide, a landscape
    // one wider than tall (face up, face down and unknown keep its shape), then Foundation's
    // orientation is set, which posts DeviceOrientationDidChangeNotification, so observers see the
    // new size.
    void setDeviceOrientation(Foundation::DeviceOrientation orientation);

private:
    explicit Application(std::shared_ptr<Window> window) : m_window(std::move(window)) {}

    std::shared_ptr<Window> m_window;
    std::shared_ptr<ViewController> m_root;
};

} // namespace Toolkit
