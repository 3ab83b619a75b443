// rux-editor in a real window on a virtual X display, driven by synthetic key presses: the window
// fits the display at a whole zoom, and the keys reach the editor through SDL. Skipped where Xvfb
// or xdotool is not installed.
#include <Editor/EditorTestSupport.h>
#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <Support/RunProgram.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using TestSupport::haveProgram;
using TestSupport::readFile;
using TestSupport::waitFor;

TEST(EditorWindow, FitsTheDisplayAndTakesItsShortcutsFromTheKeyboard) {
    if (!haveProgram("Xvfb") || !haveProgram("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    const fs::path dir = fs::temp_directory_path() / ("rux-editor-window-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    struct Cleanup {
        fs::path dir;
        ~Cleanup() {
            std::system(("kill $(cat '" + (dir / "editor.pid").string() + "') 2>/dev/null").c_str());
            std::system(("kill $(cat '" + (dir / "xvfb.pid").string() + "') 2>/dev/null").c_str());
            fs::remove_all(dir);
        }
    } cleanup{dir};
    const std::string photo = (dir / "photo.png").string();
    ASSERT_TRUE(Graphics::writeImageFile(*EditorTest::makePhoto(600, 400)->bitmap(), photo));

    // At 100 DPI the display counts as scale 1; 1500 pixels leave room for the 667-point layout
    // twice over, frame included.
    ASSERT_EQ(std::system(("Xvfb -displayfd 3 -screen 0 1600x1500x24 -dpi 100 -nolisten tcp 3>'" +
                           (dir / "display").string() + "' >/dev/null 2>&1 & echo $! >'" +
                           (dir / "xvfb.pid").string() + "'")
                              .c_str()),
              0);
    ASSERT_TRUE(waitFor([&] { return readFile(dir / "display").find('\n') != std::string::npos; }));
    std::string display = readFile(dir / "display");
    display = "DISPLAY=:" + display.substr(0, display.find('\n')) + " ";

    // Under AddressSanitizer the window's display stack (SDL, X and Mesa's software rasteriser, none
    // of them instrumented) leaves allocations at exit that LeakSanitizer cannot trace to a caller;
    // this test is about the window and its keys, and every other test checks our code for leaks.
    const std::string noLeakCheck = "ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" ";
    ASSERT_EQ(std::system(("(" + display + noLeakCheck + "XDG_STATE_HOME='" + (dir / "state").string() +
                           "' '" + RUX_EDITOR_PATH "' --quit-after 60 '" + photo + "' >'" +
                           (dir / "editor.log").string() + "' 2>&1; echo $? >'" + (dir / "status").string() +
                           "') & echo $! >'" + (dir / "editor.pid").string() + "'")
                              .c_str()),
              0);
    const std::string window = (dir / "window").string();
    // Either the window shows, or the editor ends without one (3: built without the window host).
    ASSERT_TRUE(waitFor([&] {
        return !readFile(dir / "status").empty() ||
               (std::system((display + "xdotool search --onlyvisible --name '^rux-editor$' >'" + window +
                             "' 2>/dev/null")
                                .c_str()) == 0 &&
                !readFile(window).empty());
    })) << readFile(dir / "editor.log");
    if (readFile(dir / "status") == "3\n")
        GTEST_SKIP() << "rux-editor was built without the window host";
    ASSERT_EQ(readFile(dir / "status"), "") << readFile(dir / "editor.log");
    const std::string id = readFile(window).substr(0, readFile(window).find('\n'));

    const std::string geometry = (dir / "geometry").string();
    ASSERT_EQ(std::system((display + "xdotool getwindowgeometry " + id + " >'" + geometry + "'").c_str()), 0);
    EXPECT_NE(readFile(geometry).find("Geometry: 750x1334"), std::string::npos) << readFile(geometry);

    auto press = [&](const std::string& keys) {
        return std::system((display + "xdotool windowfocus --sync " + id + " key " + keys).c_str()) == 0;
    };
    ASSERT_TRUE(press("ctrl+s"));
    const fs::path saved = dir / "photo-edited.jpg";
    Foundation::LogCapture quiet; // the picture is unreadable until it is complete
    EXPECT_TRUE(waitFor([&] { return Graphics::BitmapImage::createFromFile(saved.string()) != nullptr; }))
        << readFile(dir / "editor.log");
    // Escape on the main screen is the back button, which quits this host.
    ASSERT_TRUE(press("Escape"));
    EXPECT_TRUE(waitFor([&] { return !readFile(dir / "status").empty(); }));
    EXPECT_EQ(readFile(dir / "status"), "0\n") << readFile(dir / "editor.log");
}

} // namespace
