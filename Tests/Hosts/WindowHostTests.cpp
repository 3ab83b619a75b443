// The window host, run as the demo program: it opens on a virtual X display (Xvfb) and shows the
// screen there, and it fails with one line when there is no display. The display test is skipped
// where Xvfb or xwd is not installed.
#include <Support/RunProgram.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

using TestSupport::haveProgram;
using TestSupport::readFile;
using TestSupport::waitFor;

// An X window dump (what xwd writes) of a 24- or 32-bit TrueColor window.
struct WindowDump {
    int width = 0, height = 0;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    int bytesPerPixel = 0, bytesPerLine = 0;
    bool msbFirst = false;
    std::string pixels;

    static std::optional<WindowDump> parse(const std::string& bytes) {
        auto field = [&](int index) -> std::uint32_t {
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + index * 4;
            return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
        };
        if (bytes.size() < 100)
            return std::nullopt;
        WindowDump dump;
        const std::uint32_t headerSize = field(0);
        dump.width = static_cast<int>(field(4));
        dump.height = static_cast<int>(field(5));
        dump.msbFirst = field(7) != 0;
        dump.bytesPerPixel = static_cast<int>(field(11)) / 8;
        dump.bytesPerLine = static_cast<int>(field(12));
        dump.redMask = field(14);
        dump.greenMask = field(15);
        dump.blueMask = field(16);
        const std::uint32_t colors = field(19);
        const std::size_t offset = headerSize + colors * 12;
        if (dump.bytesPerPixel < 3 || offset + std::size_t(dump.bytesPerLine) * dump.height > bytes.size())
            return std::nullopt;
        dump.pixels = bytes.substr(offset);
        return dump;
    }

    std::array<int, 3> rgb(int x, int y) const {
        const auto* p =
            reinterpret_cast<const unsigned char*>(pixels.data()) + y * bytesPerLine + x * bytesPerPixel;
        std::uint32_t value = 0;
        for (int i = 0; i < bytesPerPixel; ++i)
            value |= std::uint32_t(p[i]) << (msbFirst ? 8 * (bytesPerPixel - 1 - i) : 8 * i);
        auto channel = [value](std::uint32_t mask) {
            int shift = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++shift;
            }
            return static_cast<int>((value >> shift) & mask);
        };
        return {channel(redMask), channel(greenMask), channel(blueMask)};
    }
};

class ScratchDirectory {
public:
    ScratchDirectory() {
        m_path = fs::temp_directory_path() /
                 ("rux-window-host-" +
                  std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(m_path);
    }
    ~ScratchDirectory() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

TEST(WindowHost, FailsWithOneLineWithoutADisplay) {
    ScratchDirectory scratch;
    const fs::path err = scratch.path() / "stderr";
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" RUX_TOOLKIT_DEMO
                                "' 2>'" +
                                err.string() + "' >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string text = readFile(err);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("no display"), std::string::npos) << text;
}

TEST(WindowHost, DrawsTheDemoScreenOnAVirtualDisplay) {
    if (!haveProgram("Xvfb") || !haveProgram("xwd"))
        GTEST_SKIP() << "Xvfb or xwd is not installed";
    ScratchDirectory scratch;
    const std::string dir = scratch.path().string();

    // Xvfb picks a free display number and writes it to the file descriptor given.
    ASSERT_EQ(std::system(("Xvfb -displayfd 3 -screen 0 800x800x24 -nolisten tcp 3>'" + dir +
                           "/display' >/dev/null 2>&1 & echo $! >'" + dir + "/xvfb.pid'")
                              .c_str()),
              0);
    struct StopServer {
        std::string dir;
        ~StopServer() { std::system(("kill $(cat '" + dir + "/xvfb.pid') 2>/dev/null").c_str()); }
    } stop{dir};
    ASSERT_TRUE(
        waitFor([&] { return readFile(scratch.path() / "display").find('\n') != std::string::npos; }));
    std::string display = readFile(scratch.path() / "display");
    display.resize(display.find('\n'));
    display.insert(display.begin(), ':');

    // Scale 1 keeps the window's pixels equal to points, whatever the virtual screen's DPI.
    ASSERT_EQ(std::system(("DISPLAY=" + display + " '" RUX_TOOLKIT_DEMO "' --scale 1 --quit-after 30 >'" +
                           dir + "/demo.log' 2>&1 & echo $! >'" + dir + "/demo.pid'")
                              .c_str()),
              0);
    const std::string dump = dir + "/window.xwd";
    auto capture = [&] {
        return std::system(
                   ("DISPLAY=" + display + " xwd -silent -name toolkit-demo -out '" + dump + "' 2>/dev/null")
                       .c_str()) == 0;
    };
    // The first capture may catch the window before its first frame: wait for the bar's grey.
    std::optional<WindowDump> window;
    const bool drawn = waitFor([&] {
        if (!capture())
            return false;
        window = WindowDump::parse(readFile(dump));
        return window && window->width >= 375 && window->rgb(20, 20) == std::array<int, 3>{247, 247, 247};
    });
    std::system(("kill $(cat '" + dir + "/demo.pid') 2>/dev/null").c_str());
    ASSERT_TRUE(drawn) << readFile(scratch.path() / "demo.log");
    EXPECT_EQ(window->width, 375);
    EXPECT_EQ(window->height, 667);
    EXPECT_EQ(window->rgb(140, 395), (std::array<int, 3>{0xFF, 0x57, 0x22})) << "the present button";
    EXPECT_EQ(window->rgb(187, 600), (std::array<int, 3>{0x19, 0x19, 0x19})) << "the screen's background";
}

} // namespace
