#include "Toolkit/ToolkitTestSupport.h"

#include <Graphics/BitmapImage.h>
#include <Toolkit/Button.h>
#include <Toolkit/Label.h>
#include <Toolkit/Window.h>
#include <gtest/gtest.h>

using namespace Toolkit;
using ToolkitTest::Finger;

namespace {

std::shared_ptr<const Graphics::BitmapImage> solidImage(int w, int h, std::uint8_t r, std::uint8_t g,
                                                        std::uint8_t b, double scale = 1) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
        }
    return Graphics::BitmapImage::create(bitmap, scale);
}

struct ButtonScene {
    std::shared_ptr<Window> window = Window::create({300, 300}, 1);
    std::shared_ptr<Button> button = Button::create(ButtonType::Custom, {100, 100, 50, 50});
    std::string events;
    double time = 0;
    ButtonScene() {
        window->addSubview(button);
        const std::pair<ControlEvent, char> names[] = {
            {ControlEvent::TouchDown, 'd'},      {ControlEvent::TouchDragExit, 'x'},
            {ControlEvent::TouchDragEnter, 'n'}, {ControlEvent::TouchUpInside, 'U'},
            {ControlEvent::TouchUpOutside, 'o'}, {ControlEvent::TouchCancel, 'c'},
        };
        for (auto [event, name] : names)
            button->addAction([this, name](Control&) { events += name; }, event);
    }
    Finger finger() { return Finger(window, 1, &time); }
};

struct TouchCase {
    const char* name;
    bool enabled;
    std::vector<const char*> steps; // touches as ToolkitTest::play writes them
    const char* highlighted;        // after each step: H highlighted, - not
    const char* events;
};

class ButtonTouchTest : public ::testing::TestWithParam<TouchCase> {};

TEST_P(ButtonTouchTest, HighlightAndEventsFollowTheFinger) {
    const TouchCase& c = GetParam();
    ButtonScene s;
    s.button->setEnabled(c.enabled);
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        ToolkitTest::play(s.window, &s.time, c.steps[i]);
        EXPECT_EQ(s.button->isHighlighted(), c.highlighted[i] == 'H') << "after " << c.steps[i];
    }
    EXPECT_EQ(s.events, c.events);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ButtonTouchTest,
    ::testing::Values(
        // Outside the bounds but within the margin still counts as inside; touch up inside comes once.
        TouchCase{"ReleasedInside", true, {"1d120,120", "1m160,120", "1u160,120"}, "HH-", "dU"},
        TouchCase{"DraggedOutAndReleased",
                  true,
                  {"1d120,120", "1m250,120", "1m130,120", "1m250,250", "1u250,250"},
                  "H-H--",
                  "dxnxo"},
        TouchCase{"Cancelled", true, {"1d120,120", "1c120,120"}, "H-", "dc"},
        TouchCase{"Disabled", false, {"1d120,120", "1u120,120"}, "--", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Button, TargetActionReachesALiveTargetOnly) {
    ButtonScene s;
    struct Target {
        int presses = 0;
        void didPress() { ++presses; }
    };
    auto target = std::make_shared<Target>();
    s.button->addTarget(target, &Target::didPress, ControlEvent::TouchUpInside);
    ToolkitTest::play(s.window, &s.time, "1d120,120 1u120,120");
    EXPECT_EQ(target->presses, 1);
    s.button->removeTarget(target.get(), ControlEvent::TouchUpInside);
    ToolkitTest::play(s.window, &s.time, "1d120,120 1u120,120");
    EXPECT_EQ(target->presses, 1);
}

TEST(Button, StateValuesFallBackToNormal) {
    auto button = Button::create();
    auto normal = solidImage(4, 4, 255, 0, 0), pressed = solidImage(4, 4, 0, 255, 0),
         disabled = solidImage(4, 4, 0, 0, 255);
    button->setImage(normal, ControlState::Normal);
    button->setImage(pressed, ControlState::Highlighted);
    button->setTitle("Save", ControlState::Normal);
    button->setTitleColor({1, 0.34, 0.13, 1}, ControlState::Normal);
    EXPECT_EQ(button->currentImage(), normal);
    button->setHighlighted(true);
    EXPECT_EQ(button->currentImage(), pressed);
    EXPECT_EQ(button->currentTitle(), "Save");
    EXPECT_EQ(button->titleLabel()->textColor(), (Color{1, 0.34, 0.13, 1}));
    button->setHighlighted(false);
    button->setEnabled(false);
    EXPECT_EQ(button->currentImage(), normal); // no disabled image yet
    button->setImage(disabled, ControlState::Disabled);
    EXPECT_EQ(button->currentImage(), disabled);
    EXPECT_EQ(button->imageView()->image(), disabled);
    EXPECT_EQ(button->titleColor(ControlState::Disabled), (Color{1, 0.34, 0.13, 1}));
    EXPECT_EQ(Button::create()->titleColor(ControlState::Normal), Color::white());
}

TEST(Button, SizeThatFitsIsImageBesideTitle) {
    auto button = Button::create();
    button->setImage(solidImage(48, 40, 255, 255, 255, 2), ControlState::Normal); // 24 × 20 points
    EXPECT_EQ(button->sizeThatFits({1e19, 1e19}), (Graphics::Size{24, 20}));
    button->setTitle("Next", ControlState::Normal);
    const Graphics::Size title = button->titleLabel()->sizeThatFits({});
    EXPECT_GT(title.width, 20);
    EXPECT_GT(title.height, 14);
    EXPECT_EQ(button->sizeThatFits({1e19, 1e19}),
              (Graphics::Size{24 + title.width, std::max(20.0, title.height)}));
}

TEST(Button, ShowsTheHighlightedImageWhilePressed) {
    ButtonScene s;
    s.button->setImage(solidImage(10, 10, 255, 0, 0), ControlState::Normal);
    s.button->setImage(solidImage(10, 10, 0, 255, 0), ControlState::Highlighted);
    s.window->displayIfNeeded();
    using P = std::array<int, 4>;
    EXPECT_EQ(ToolkitTest::pixel(*s.window, 125, 125), (P{255, 0, 0, 255}));
    Finger f = s.finger();
    f.down(125, 125);
    EXPECT_TRUE(s.window->displayIfNeeded());
    EXPECT_EQ(ToolkitTest::pixel(*s.window, 125, 125), (P{0, 255, 0, 255}));
    f.up(125, 125);
    s.window->displayIfNeeded();
    EXPECT_EQ(ToolkitTest::pixel(*s.window, 125, 125), (P{255, 0, 0, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*s.window, 115, 115), (P{0, 0, 0, 255})); // the 10-point image is centred
}

} // namespace
