// editor-window-host [--headless] PHOTO OUTPUT
//
// Opens the editor on PHOTO inside a navigation controller, as a host application does, and writes
// what the delegate receives on Save to OUTPUT (PNG or JPEG by its extension), then quits; the back
// arrow quits without writing. In a window the user presses Save; with --headless (or when no window
// can be opened) the program presses Save itself on an in-memory screen. Exit status: 0 written,
// 1 failed or cancelled, 2 bad arguments.

#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Hosts/HeadlessHost.h>
#include <Toolkit/NavigationController.h>
#include <View/RUXImageEditorViewController.h>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#ifdef HAVE_WINDOW_HOST
#include <Hosts/WindowHost.h>
#endif

namespace {

// The host's side of the editor: it owns what the delegate receives and decides when to close.
class SavingDelegate : public RUXImageEditorViewControllerDelegate {
public:
    SavingDelegate(std::string output, std::function<void()> close)
        : m_output(std::move(output)), m_close(std::move(close)) {}

    void imageEditorViewControllerDidFinishEditingWithImage(
        RUXImageEditorViewController&, std::shared_ptr<const Graphics::BitmapImage> image) override {
        m_written = image && Graphics::writeImageFile(*image->bitmap(), m_output);
        if (m_written) {
            std::printf("%s: %d x %d\n", m_output.c_str(), image->bitmap()->width(),
                        image->bitmap()->height());
        } else {
            std::fprintf(stderr, "editor-window-host: could not write %s\n", m_output.c_str());
        }
        m_close();
    }
    void imageEditorViewControllerDidCancelEditing(RUXImageEditorViewController&) override { m_close(); }

    bool written() const { return m_written; }

private:
    std::string m_output;
    std::function<void()> m_close;
    bool m_written = false;
};

// The editor's main screen for photo, with a configuration and a delegate, inside a navigation
// controller: all a host creates.
std::shared_ptr<Toolkit::ViewController> makeEditor(std::shared_ptr<const Graphics::BitmapImage> photo,
                                                    const std::shared_ptr<SavingDelegate>& delegate) {
    auto editor = RUXImageEditorViewController::create(std::move(photo));
    editor->setConfiguration(std::make_shared<RUXImageEditorSampleConfiguration>());
    editor->setDelegate(delegate);
    return Toolkit::NavigationController::create(editor);
}

int runHeadless(std::shared_ptr<const Graphics::BitmapImage> photo, const std::string& output) {
    auto host = Hosts::HeadlessHost::create();
    if (!host) {
        return 1;
    }
    auto delegate = std::make_shared<SavingDelegate>(output, [] {});
    host->application().setRootViewController(makeEditor(std::move(photo), delegate));
    // Let the first renders land, then press Save (the top bar's right-hand button).
    host->runUntilIdle();
    host->touchDown(1, {345, 18});
    host->touchUp(1);
    host->runUntilIdle();
    host->application().setRootViewController(nullptr);
    return delegate->written() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool headless = argc == 4 && std::strcmp(argv[1], "--headless") == 0;
    if (argc != 3 && !headless) {
        std::fprintf(stderr, "usage: editor-window-host [--headless] PHOTO OUTPUT\n");
        return 2;
    }
    const std::string photoPath = argv[argc - 2], output = argv[argc - 1];
    auto photo = Graphics::BitmapImage::createFromFile(photoPath);
    if (!photo) {
        std::fprintf(stderr, "editor-window-host: cannot read %s\n", photoPath.c_str());
        return 1;
    }
#ifdef HAVE_WINDOW_HOST
    if (!headless) {
        if (auto host = Hosts::WindowHost::create()) {
            Hosts::WindowHost* window = host.get();
            auto delegate = std::make_shared<SavingDelegate>(output, [window] { window->quit(); });
            host->application().setRootViewController(makeEditor(std::move(photo), delegate));
            host->run();
            host->application().setRootViewController(nullptr);
            return delegate->written() ? 0 : 1;
        }
        std::fprintf(stderr, "editor-window-host: no window; running headless\n");
    }
#endif
    return runHeadless(std::move(photo), output);
}
