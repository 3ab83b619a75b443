#include "MainScreenTestSupport.h"

#include <View/RUXToolbar.h>

namespace {

using Graphics::Rect;
using MainScreenTest::ConfigurationWithout;

// Records which tool each press reported.
class ToolLog : public RUXToolbarDelegate {
public:
    void toolbarDidPressRotate(RUXToolbar&) override { pressed.push_back("rotate"); }
    void toolbarDidPressCrop(RUXToolbar&) override { pressed.push_back("crop"); }
    void toolbarDidPressBrightness(RUXToolbar&) override { pressed.push_back("brightness"); }
    void toolbarDidPressSaturation(RUXToolbar&) override { pressed.push_back("saturation"); }
    void toolbarDidPressContrast(RUXToolbar&) override { pressed.push_back("contrast"); }
    void toolbarDidPressBlur(RUXToolbar&) override { pressed.push_back("blur"); }
    std::vector<std::string> pressed;
};

struct ToolbarCase {
    const char* name;
    std::vector<std::string> disabled;
    double width;
    // The tools left to right, which is also what pressing each button in turn reports.
    std::vector<std::string> tools;
    double buttonWidth;
};

// A toolbar alone at the top of a headless screen, as wide as the case says.
class Toolbar : public ::testing::TestWithParam<ToolbarCase> {
protected:
    void SetUp() override {
        host = Hosts::HeadlessHost::create({GetParam().width, 200}, 2);
        ASSERT_TRUE(host);
        auto screen = Toolkit::ViewController::create();
        host->application().setRootViewController(screen);
        toolbar = RUXToolbar::create({}, std::make_shared<ConfigurationWithout>(GetParam().disabled));
        toolbar->setDelegate(log);
        screen->view()->addSubview(toolbar);
        toolbar->setFrame({0, 0, GetParam().width, 48});
        ASSERT_TRUE(host->runUntilIdle());
    }
    void TearDown() override { host.reset(); }
    TestSupport::MainBundlePath resources{RUX_SOURCE_RESOURCES_DIR};
    void run(const std::string& script) {
        std::string error;
        EXPECT_TRUE(host->runScript(script, &error)) << error;
        EXPECT_TRUE(host->runUntilIdle());
    }

    std::unique_ptr<Hosts::HeadlessHost> host;
    std::shared_ptr<RUXToolbar> toolbar;
    std::shared_ptr<ToolLog> log = std::make_shared<ToolLog>();
};

TEST_P(Toolbar, PlacesTheOfferedToolsAndReportsEachPress) {
    const ToolbarCase& c = GetParam();
    ASSERT_EQ(toolbar->buttons().size(), c.tools.size());
    EXPECT_DOUBLE_EQ(toolbar->buttonWidth(), c.buttonWidth);
    EXPECT_DOUBLE_EQ(toolbar->toolbarContent()->frame().width(), c.buttonWidth * double(c.tools.size()));
    for (std::size_t i = 0; i < c.tools.size(); ++i) {
        EXPECT_EQ(toolbar->buttons()[i]->frame(), Rect(c.buttonWidth * double(i), 0, c.buttonWidth, 48));
        EXPECT_NE(toolbar->buttons()[i]->image(Toolkit::ControlState::Normal), nullptr);
        EXPECT_NE(toolbar->buttons()[i]->image(Toolkit::ControlState::Highlighted), nullptr);
    }
    // Pressing each button in turn, dragging the strip to bring the hidden ones into view.
    for (std::size_t i = 0; i < c.tools.size(); ++i) {
        const auto& button = toolbar->buttons()[i];
        Graphics::Point centre = button->convertPointToView({button->bounds().midX(), 24}, nullptr);
        if (centre.x >= c.width - 1) {
            run("drag 300 24 40 24 0.5 10\nwait 2");
            centre = button->convertPointToView({button->bounds().midX(), 24}, nullptr);
        }
        run("tap " + std::to_string(centre.x) + " 24");
    }
    EXPECT_EQ(log->pressed, c.tools);
}

const std::vector<std::string> kAllTools{"crop", "brightness", "saturation", "contrast", "blur", "rotate"};

INSTANTIATE_TEST_SUITE_P(
    Configurations, Toolbar,
    ::testing::Values(
        // Six tools: a 4.5th each, so that half a button shows the strip scrolls.
        ToolbarCase{"AllTools", {}, 360, kAllTools, 80},
        ToolbarCase{"FiveTools",
                    {"RUXBlurTransformation"},
                    360,
                    {"crop", "brightness", "saturation", "contrast", "rotate"},
                    80},
        // Up to four share the width and nothing scrolls.
        ToolbarCase{"ThreeTools",
                    {"RUXBlurTransformation", "RUXRotateTransformation", "RUXContrastTransformation"},
                    375,
                    {"crop", "brightness", "saturation"},
                    125},
        // A disabled tool leaves no gap.
        ToolbarCase{"NoCrop",
                    {"RUXCropTransformation", "RUXBlurTransformation", "RUXRotateTransformation"},
                    300,
                    {"brightness", "saturation", "contrast"},
                    100},
        ToolbarCase{"NoTools",
                    {"RUXCropTransformation", "RUXBrightnessTransformation", "RUXSaturationTransformation",
                     "RUXContrastTransformation", "RUXBlurTransformation", "RUXRotateTransformation"},
                    320,
                    {},
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

// Six tools, so that the strip is wider than the screen.
class ScrollingToolbar : public Toolbar {};

TEST_P(ScrollingToolbar, APressThatBecomesAScrollReportsNothing) {
    run("drag 300 24 40 24 0.3 10");
    EXPECT_TRUE(log->pressed.empty());
    EXPECT_LT(toolbar->toolbarContent()->convertPointToView({0, 0}, nullptr).x, 0)
        << "the strip did not scroll";
}

INSTANTIATE_TEST_SUITE_P(AllTools, ScrollingToolbar,
                         ::testing::Values(ToolbarCase{"AllTools", {}, 360, kAllTools, 80}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
