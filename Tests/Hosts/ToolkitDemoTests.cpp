#include "DemoScreens.h"

#include <Hosts/HeadlessHost.h>
#include <array>
#include <gtest/gtest.h>

namespace {

// The RGBA of one framebuffer pixel at a point of the window (scale 2).
std::array<int, 4> pixelAt(Hosts::HeadlessHost& host, Graphics::Point point) {
    const auto frame = host.display();
    const double scale = host.window()->scale();
    const std::uint8_t* p =
        frame->row(static_cast<int>(point.y * scale)) + static_cast<int>(point.x * scale) * 4;
    return {p[0], p[1], p[2], p[3]};
}

constexpr std::array<int, 4> accent{0xFF, 0x57, 0x22, 0xFF};
constexpr std::array<int, 4> background{0x19, 0x19, 0x19, 0xFF};
constexpr std::array<int, 4> bar{247, 247, 247, 0xFF};

// The demo screen scripted as a user would use it: the buttons count, present a screen that a tap
// dismisses, and hide the navigation bar; the screenshot pixels follow.
TEST(ToolkitDemo, ScriptedSessionDrivesEveryButton) {
    auto host = Hosts::HeadlessHost::create();
    ASSERT_TRUE(host);
    auto navigation = std::dynamic_pointer_cast<Toolkit::NavigationController>(Demo::makeDemoRoot());
    ASSERT_TRUE(navigation);
    auto screen = std::dynamic_pointer_cast<Demo::DemoViewController>(navigation->rootViewController());
    host->application().setRootViewController(navigation);
    EXPECT_EQ(pixelAt(*host, {20, 20}), bar);
    EXPECT_EQ(pixelAt(*host, {140, 395}), accent) << "the present button, beside its title";

    std::string error;
    ASSERT_TRUE(host->runScript("tap 68 378\ntap 68 378\n", &error)) << error;
    EXPECT_EQ(screen->count(), 2);

    ASSERT_TRUE(host->runScript("tap 187 378\nidle\n", &error)) << error;
    ASSERT_TRUE(navigation->presentedViewController());
    EXPECT_TRUE(host->application().isStatusBarHidden());
    EXPECT_EQ(pixelAt(*host, {20, 20}), accent) << "the presented screen covers the bar";
    EXPECT_EQ(pixelAt(*host, {68, 378}), accent);

    ASSERT_TRUE(host->runScript("tap 100 100\nidle\n", &error)) << error;
    EXPECT_FALSE(navigation->presentedViewController());
    EXPECT_EQ(pixelAt(*host, {20, 20}), bar);

    ASSERT_TRUE(host->runScript("tap 306 378\nidle\n", &error)) << error;
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    EXPECT_EQ(pixelAt(*host, {20, 5}), background) << "the screen moved up under the hidden bar";
    EXPECT_EQ(pixelAt(*host, {140, 395 - 44}), accent);
}

} // namespace
