// Tool launching from the main screen's tool strip, and the brightness road end to end.
#include "MainScreenTestSupport.h"

#include <Foundation/Log.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <View/RUXCropViewController.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXSlider.h>
#include <typeinfo>

namespace {

using MainScreenTest::MainScreenFixture;

constexpr Graphics::Point kMainCancelButton{94, 643};
constexpr Graphics::Point kMainOkButton{281, 643};

class ToolLaunching : public MainScreenFixture {
protected:
    // Taps tool button i of the strip, dragging the strip first when the button is out of view.
    void pressTool(std::size_t i) {
        const auto& button = editor->toolbar()->buttons().at(i);
        auto visibleCentre = [&] {
            const Graphics::Rect r = button->convertRectToView(button->bounds(), nullptr);
            return Graphics::Point{(std::max(r.minX(), 0.0) + std::min(r.maxX(), 375.0)) / 2, r.midY()};
        };
        if (visibleCentre().x > 360) {
            run("drag 300 643 40 643 0.4 12\nwait 1");
        }
        run("tap " + pointText(visibleCentre()));
    }
    std::shared_ptr<Toolkit::ViewController> toolScreen() const { return editor->presentedViewController(); }
    // What the main screen shows and offers, to compare before and after a tool screen.
    std::string mainScreenState() {
        std::ostringstream out;
        out << editor->undoButton()->isEnabled() << editor->redoButton()->isEnabled() << " "
            << editor->filterBar()->selectedFilterIndex() << " "
            << (shownImage() == editor->editManager()->committedImage()->renderedImage());
        return out.str();
    }
};

struct ToolCase {
    const char* name;
    std::size_t button;
    const char* screenClass;
};

class EachTool : public ToolLaunching, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(EachTool, OpensItsScreenAndCancelLeavesTheMainScreenAsItWas) {
    // A committed look, so that the highlight and undo have something to keep.
    editor->filterBarDidSelectFilter(*editor->filterBar(), editor->filterBar()->filters()[2]);
    editor->syncStateWithEditManager();
    settle();
    const std::string before = mainScreenState();
    const RUXTransformationList committed = editor->editManager()->transformations();

    for (int round = 0; round < 2; ++round) {
        pressTool(GetParam().button);
        ASSERT_NE(toolScreen(), nullptr) << "no screen was presented";
        const std::string shown = typeid(*toolScreen()).name();
        EXPECT_NE(shown.find(GetParam().screenClass), std::string::npos) << shown;
        EXPECT_FALSE(navigation->isNavigationBarHidden())
            << "the host's bar is back while the editor is away";

        run("tap " + pointText(kMainCancelButton));
        EXPECT_EQ(toolScreen(), nullptr) << "cancel did not close the tool screen";
        EXPECT_TRUE(navigation->isNavigationBarHidden());
        EXPECT_EQ(editor->editManager()->transformations(), committed);
        EXPECT_EQ(mainScreenState(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, EachTool,
                         ::testing::Values(ToolCase{"Crop", 0, "RUXCropViewController"},
                                           ToolCase{"Brightness", 1, "RUXBrightnessViewController"},
                                           ToolCase{"Saturation", 2, "RUXSaturationViewController"},
                                           ToolCase{"Contrast", 3, "RUXContrastViewController"},
                                           ToolCase{"Blur", 4, "RUXBlurViewController"},
                                           ToolCase{"Rotate", 5, "RUXRotateViewController"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToolLaunching, TheBrightnessRoad) {
    EXPECT_FALSE(editor->undoButton()->isEnabled());
    pressTool(1);
    auto screen = std::dynamic_pointer_cast<RUXBrightnessViewController>(toolScreen());
    ASSERT_NE(screen, nullptr);

    // Drag the slider's thumb to the right: the working copy brightens, the preview follows.
    const auto& slider = screen->slider();
    const Graphics::Point thumb = centreInWindow(slider);
    run("drag " + pointText(thumb) + " " + pointText({thumb.x + 80, thumb.y}) + " 0.3 10");
    const float value = screen->transformation()->value();
    EXPECT_GT(value, 0.0f);
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeBrightness),
              nullptr)
        << "nothing is committed before OK";

    run("tap " + pointText(kMainOkButton));
    ASSERT_EQ(toolScreen(), nullptr);
    const auto committed = std::dynamic_pointer_cast<RUXBrightnessTransformation>(
        editor->editManager()->committedTransformationWithType(RUXTransformationTypeBrightness));
    ASSERT_NE(committed, nullptr);
    EXPECT_FLOAT_EQ(committed->value(), value);
    // The main screen shows the committed edit and offers to undo it.
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());
    EXPECT_TRUE(editor->undoButton()->isEnabled());
    EXPECT_FALSE(editor->redoButton()->isEnabled());

    tap(editor->undoButton());
    EXPECT_EQ(editor->editManager()->committedTransformationWithType(RUXTransformationTypeBrightness),
              nullptr);
    EXPECT_EQ(shownImage(), editor->editManager()->committedImage()->renderedImage());
}

TEST_F(ToolLaunching, TwoFingersOnTwoToolButtonsOpenOneScreen) {
    // One finger rests on the brightness button while another taps the crop button, which opens
    // the crop screen; the first finger then lifts inside its button, which is still pressed.
    const auto& buttons = editor->toolbar()->buttons();
    const Graphics::Point brightness = centreInWindow(buttons.at(1));
    const Graphics::Point crop = centreInWindow(buttons.at(0));
    Foundation::LogCapture log;
    run("down 1 " + pointText(brightness) + "\ntap " + pointText(crop) + "\nwait 0.1\nup 1");
    EXPECT_NE(std::dynamic_pointer_cast<RUXCropViewController>(toolScreen()), nullptr);
    EXPECT_FALSE(log.contains("cannot present")) << "the second press asked for a second screen";

    run("tap " + pointText(kMainCancelButton));
    EXPECT_EQ(toolScreen(), nullptr);
}

} // namespace
