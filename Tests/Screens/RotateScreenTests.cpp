#include "ToolScreenTestSupport.h"

#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <View/RUXRotateButtonsBar.h>
#include <View/RUXRotateViewController.h>

namespace {

using Graphics::Rect;
using ScreenTest::ToolScreenFixture;

// The centres of the four buttons in the window: the control band is (0, 440, 320, 80).
constexpr Graphics::Point kRotateCCW{40, 480};
constexpr Graphics::Point kRotateCW{120, 480};
constexpr Graphics::Point kFlipVertical{200, 480};
constexpr Graphics::Point kFlipHorizontal{280, 480};

bool sameRotation(const RUXRotateTransformation& a, const RUXRotateTransformation& b) {
    const Graphics::AffineTransform m = a.transformMatrix(), n = b.transformMatrix();
    const double tolerance = 1e-9;
    return std::abs(m.a - n.a) < tolerance && std::abs(m.b - n.b) < tolerance &&
           std::abs(m.c - n.c) < tolerance && std::abs(m.d - n.d) < tolerance &&
           a.flipDirection() == b.flipDirection() && a.rotateDirection() == b.rotateDirection();
}

TEST(RotateButtonsBar, FourEqualButtonsWithPressedIcons) {
    auto bar = [] {
        const TestSupport::MainBundlePath resources(RUX_SOURCE_RESOURCES_DIR);
        return RUXRotateButtonsBar::create({0, 440, 320, 80});
    }();
    ASSERT_EQ(bar->contents()->subviews().size(), 4u);
    EXPECT_EQ(bar->contents()->frame(), Rect(0, 0, 320, 80));
    for (std::size_t i = 0; i < 4; ++i) {
        auto button = std::dynamic_pointer_cast<Toolkit::Button>(bar->contents()->subviews()[i]);
        ASSERT_TRUE(button);
        EXPECT_EQ(button->frame(), Rect(80.0 * double(i), 0, 80, 80));
        EXPECT_TRUE(button->image(Toolkit::ControlState::Normal));
        EXPECT_TRUE(button->image(Toolkit::ControlState::Highlighted));
        EXPECT_NE(button->image(Toolkit::ControlState::Normal),
                  button->image(Toolkit::ControlState::Highlighted));
        EXPECT_EQ(button->backgroundColor(), RUXColorWithHexCode(0x191919));
    }
}

// Each button applies its operation to the working copy, as the same calls on a plain transformation do.
TEST_F(ToolScreenFixture, ButtonsTurnAndFlipTheCopyAndPreviewEachPress) {
    auto screen = present<RUXRotateViewController>();
    RUXRotateTransformation oracle;
    struct Press {
        Graphics::Point button;
        void (RUXRotateTransformation::*operation)();
    };
    const Press presses[] = {{kRotateCW, &RUXRotateTransformation::rotateClockwise90Degrees},
                             {kFlipHorizontal, &RUXRotateTransformation::flipHorizontal},
                             {kRotateCCW, &RUXRotateTransformation::rotateCounterClockwise90Degrees},
                             {kFlipVertical, &RUXRotateTransformation::flipVertical},
                             {kRotateCW, &RUXRotateTransformation::rotateClockwise90Degrees}};
    RUXRenderFormulaPtr previous;
    for (const Press& press : presses) {
        tap(press.button);
        (oracle.*press.operation)();
        EXPECT_TRUE(sameRotation(*screen->transformation(), oracle));
        RUXRenderFormulaPtr preview = screen->imageView()->lastImage();
        ASSERT_TRUE(preview);
        EXPECT_NE(preview, previous) << "one preview per press";
        EXPECT_EQ(preview->previewMode(), RUXPreviewModeHighQuality);
        EXPECT_EQ(screen->imageView()->image(), preview->renderedImage());
        previous = preview;
    }
    // A turn of a 300 × 200 photo shows it 200 × 300.
    tap(kRotateCW);
    settle();
    ASSERT_TRUE(screen->imageView()->image());
    const Graphics::Size shown = screen->imageView()->image()->size();
    const Graphics::Size before = previous->renderedImage()->size();
    EXPECT_EQ(shown.width, before.height);
    EXPECT_EQ(shown.height, before.width);
}

TEST_F(ToolScreenFixture, PressedButtonShowsItsPressedIconUntilLifted) {
    auto screen = present<RUXRotateViewController>();
    auto button =
        std::dynamic_pointer_cast<Toolkit::Button>(screen->rotateButtonsBar()->contents()->subviews()[2]);
    ASSERT_TRUE(button);
    host->touchDown(1, kFlipVertical);
    EXPECT_EQ(button->currentImage(), button->image(Toolkit::ControlState::Highlighted));
    host->touchUp(1);
    EXPECT_EQ(button->currentImage(), button->image(Toolkit::ControlState::Normal));
    settle();
}

TEST_F(ToolScreenFixture, TurningBackAndForthCommitsTheRotationItStartedFrom) {
    auto committed = std::make_shared<RUXRotateTransformation>();
    committed->rotateClockwise90Degrees();
    committed->flipHorizontal();
    editManager->commitTransformation(committed);
    auto screen = present<RUXRotateViewController>();
    tap(kRotateCW);
    tap(kRotateCCW);
    tap({240, 544});
    auto result = std::dynamic_pointer_cast<RUXRotateTransformation>(
        editManager->getTransformationWithClass(RUXRotateTransformation::classDescriptor()));
    ASSERT_TRUE(result);
    EXPECT_NE(result, committed);
    EXPECT_TRUE(sameRotation(*result, *committed));
}

TEST_F(ToolScreenFixture, HoldingThePictureShowsItWithoutTheRotation) {
    auto committed = std::make_shared<RUXRotateTransformation>();
    committed->rotateClockwise90Degrees();
    editManager->commitTransformation(committed);
    auto contrast = std::make_shared<RUXContrastTransformation>();
    editManager->commitTransformation(contrast);
    showCommittedImage();
    auto screen = present<RUXRotateViewController>();
    tap(kRotateCW);

    host->touchDown(1, {160, 240});
    settle();
    RUXRenderFormulaPtr comparison = screen->imageView()->lastImage();
    ASSERT_TRUE(comparison && comparison->transformations());
    bool hasContrast = false;
    for (const auto& t : *comparison->transformations()) {
        EXPECT_NE(t->type(), RUXTransformationTypeRotate);
        hasContrast = hasContrast || t == contrast;
    }
    EXPECT_TRUE(hasContrast) << "every other committed edit stays";
    // Unturned: the photo's own landscape shape.
    ASSERT_TRUE(screen->imageView()->image());
    EXPECT_GT(screen->imageView()->image()->size().width, screen->imageView()->image()->size().height);

    host->touchUp(1);
    settle();
    RUXRenderFormulaPtr preview = screen->imageView()->lastImage();
    EXPECT_NE(preview, comparison);
    EXPECT_EQ(preview->previewMode(), RUXPreviewModeHighQuality);
    // Two quarter turns: landscape again, but through the preview of the copy.
    EXPECT_NE(std::find(preview->transformations()->begin(), preview->transformations()->end(),
                        RUXTransformationPtr(screen->transformation())),
              preview->transformations()->end());
}

} // namespace
