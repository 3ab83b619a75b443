// Tools beyond the built-in six: a host's class with a tool screen, offered through the
// configuration, appears after the built-in buttons, scrolls into view and opens its screen.

#include "MainScreenTestSupport.h"

#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <View/RUXScalarTransformationViewControllerBase.h>
#include <View/RUXToolScreens.h>
#include <View/RUXToolbar.h>

namespace {

using MainScreenTest::ConfigurationWithout;

class TestGainTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(TestGainTransformation)
};

RUX_DEFINE_TRANSFORMATION_CLASS(TestGainTransformation)

const RUXTransformationDeclaration& TestGainTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d =
            declare(classDescriptor(), RUXTransformationTypeWithCode(40), 1.15, -2, 2, 0, "stops",
                    "--test-gain", "takes a number of stops.", RUXSliderMapping::Centred);
        d.recipeVersion = 2;
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr TestGainTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                              RUXImageMetadata&) {
    return RUXFilterOutput(RUXFilterName::exposureAdjust,
                           {{RUXFilterKey::image, image}, {RUXFilterKey::ev, value()}});
}

RUXToolScreen gainScreen() {
    return {&TestGainTransformation::classDescriptor(), "ic_exposure", "ic_exposure_pressdown",
            [](auto configuration, auto editManager, auto imageRenderer) {
                return RUXAdjustmentViewController::createWithConfiguration(
                    std::move(configuration), std::move(editManager), std::move(imageRenderer),
                    TestGainTransformation::classDescriptor());
            }};
}

class AddedToolLog : public RUXToolbarDelegate {
public:
    void toolbarDidPressRotate(RUXToolbar&) override { pressed.push_back("rotate"); }
    void toolbarDidPressCrop(RUXToolbar&) override { pressed.push_back("crop"); }
    void toolbarDidPressBrightness(RUXToolbar&) override { pressed.push_back("brightness"); }
    void toolbarDidPressSaturation(RUXToolbar&) override { pressed.push_back("saturation"); }
    void toolbarDidPressContrast(RUXToolbar&) override { pressed.push_back("contrast"); }
    void toolbarDidPressBlur(RUXToolbar&) override { pressed.push_back("blur"); }
    void toolbarDidPressTool(RUXToolbar&, const RUXClass& transformationClass) override {
        pressed.push_back(transformationClass.name);
    }
    std::vector<std::string> pressed;
};

class AddedTool : public MainScreenTest::MainScreenFixture {
public:
    void SetUp() override {
        ASSERT_TRUE(registration.isRegistered());
        ASSERT_TRUE(screenRegistration.isRegistered());
        // The blur is a built-in tool with no added screen, and nullptr is no class: both are left out.
        configuration = std::make_shared<ConfigurationWithout>(
            std::vector<std::string>{},
            std::vector<const RUXClass*>{&TestGainTransformation::classDescriptor(),
                                         &RUXBlurTransformation::classDescriptor(), nullptr});
        MainScreenFixture::SetUp();
    }

    RUXTransformationRegistration registration{TestGainTransformation::declaration()};
    RUXToolScreenRegistration screenRegistration{gainScreen()};
};

TEST_F(AddedTool, FollowsTheBuiltInToolsAndOpensItsScreen) {
    const auto& buttons = editor->toolbar()->buttons();
    ASSERT_EQ(buttons.size(), 7u);
    EXPECT_NE(buttons[6]->image(Toolkit::ControlState::Normal), nullptr);
    EXPECT_NE(buttons[6]->image(Toolkit::ControlState::Highlighted), nullptr);

    // The seventh button sits past the screen's edge until the strip is dragged.
    const double right = editor->toolbar()->bounds().width();
    const Graphics::Point toolbarCentre = centreInWindow(editor->toolbar());
    EXPECT_GE(buttons[6]->convertPointToView({0, 0}, nullptr).x, right);
    run("drag 300 " + std::to_string(toolbarCentre.y) + " 20 " + std::to_string(toolbarCentre.y) +
        " 0.5 10\nwait 2");
    ASSERT_LT(buttons[6]->convertPointToView({buttons[6]->bounds().midX(), 0}, nullptr).x, right);
    tap(buttons[6]);

    auto screen = std::dynamic_pointer_cast<RUXAdjustmentViewController>(editor->presentedViewController());
    ASSERT_TRUE(screen);
    ASSERT_TRUE(screen->transformation());
    EXPECT_EQ(&screen->transformation()->transformationClass(), &TestGainTransformation::classDescriptor());

    // The generic screen's slider spreads the declared range, and OK commits one undoable step.
    screen->slider()->setCurrentValue(50);
    screen->sliderDidChangeValue(*screen->slider(), 50);
    EXPECT_FLOAT_EQ(screen->transformation()->value(), 1.0f);
    screen->okCancelBarDidPressOkButton(*screen->okCancelBar());
    settle();
    EXPECT_FALSE(editor->presentedViewController());
    EXPECT_TRUE(editor->editManager()->getTransformationWithClass(TestGainTransformation::classDescriptor()));
    editor->editManager()->undo();
    EXPECT_FALSE(
        editor->editManager()->getTransformationWithClass(TestGainTransformation::classDescriptor()));
}

TEST(AddedToolbar, ReportsTheClassAndLeavesOutDisabledOrScreenlessTools) {
    RUXTransformationRegistration registration(TestGainTransformation::declaration());
    auto toolbarWith = [](std::vector<std::string> disabled) {
        return RUXToolbar::create(
            {0, 0, 360, 48}, std::make_shared<ConfigurationWithout>(
                                 std::move(disabled),
                                 std::vector<const RUXClass*>{&TestGainTransformation::classDescriptor()}));
    };
    // Without its screen registered, the class is not offered.
    EXPECT_EQ(toolbarWith({})->buttons().size(), 6u);

    RUXToolScreenRegistration screenRegistration(gainScreen());
    auto toolbar = toolbarWith({});
    ASSERT_EQ(toolbar->buttons().size(), 7u);
    auto log = std::make_shared<AddedToolLog>();
    toolbar->setDelegate(log);
    toolbar->buttons()[6]->sendActionsForControlEvents(Toolkit::ControlEvent::TouchUpInside);
    EXPECT_EQ(log->pressed, std::vector<std::string>{"TestGainTransformation"});

    EXPECT_EQ(toolbarWith({"TestGainTransformation"})->buttons().size(), 6u);
    // The sample configuration offers the built-in six only.
    EXPECT_EQ(RUXToolbar::create({0, 0, 360, 48}, std::make_shared<RUXImageEditorSampleConfiguration>())
                  ->buttons()
                  .size(),
              6u);
}

} // namespace
