#include "ToolScreenTestSupport.h"

#include <Toolkit/Label.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <View/RUXStraightenViewController.h>
#include <cmath>

namespace {

using ScreenTest::kCancelButton;
using ScreenTest::kOkButton;
using ScreenTest::ToolScreenFixture;

// The slider fills the control band (0, 440, 320, 80); its thumb rests at the centre for a level
// picture, and its track runs from x = 24 to 296 over −45° … 45°.
constexpr Graphics::Point kThumb{160, 480};

// The committed turns and mirrors a picture may be seen through.
struct Geometry {
    const char* name;
    int clockwiseTurns;
    bool mirror;
};

class StraightenScreen : public ToolScreenFixture, public ::testing::WithParamInterface<Geometry> {
protected:
    void commitGeometry() {
        auto rotate = std::make_shared<RUXRotateTransformation>();
        for (int i = 0; i < GetParam().clockwiseTurns; ++i) {
            rotate->rotateClockwise90Degrees();
        }
        if (GetParam().mirror) {
            rotate->flipHorizontal();
        }
        editManager->commitTransformation(rotate);
        showCommittedImage();
    }
};

// A drag to the right turns the picture counter-clockwise as seen, whatever turns and mirrors are
// committed: the angle kept in the photo's frame changes sign under a mirror only. The grid lies
// over the picture while the thumb moves and goes when it is let go.
TEST_P(StraightenScreen, DragTurnsThePictureAsSeenWithTheGridWhileMoving) {
    commitGeometry();
    auto screen = present<RUXStraightenViewController>();
    ASSERT_TRUE(screen->transformation());
    EXPECT_TRUE(screen->gridView()->isHidden());

    host->touchDown(1, kThumb);
    host->touchMove(1, {180, 480});
    host->touchMove(1, {200, 480});
    settle();
    EXPECT_FALSE(screen->gridView()->isHidden()) << "the grid shows while the thumb moves";
    // Over the picture as shown: the band's width, the picture's proportions, the band's centre.
    ASSERT_TRUE(screen->imageView()->image());
    const Graphics::Size picture = screen->imageView()->image()->size();
    const Graphics::Rect band = screen->rectForImageView(), grid = screen->gridView()->frame();
    EXPECT_NEAR(grid.midX(), band.midX(), 1e-6);
    EXPECT_NEAR(grid.midY(), band.midY(), 1e-6);
    EXPECT_NEAR(grid.width() / grid.height(), picture.width / picture.height, 1e-6);
    EXPECT_TRUE(band.containsRect(grid));
    // 40 points of a 272-point track over 90°: 13.2° to a tenth.
    const double expectedSeen = std::round((40.0 / 272 * 90) * 10) / 10;
    const double stored = screen->transformation()->value();
    EXPECT_NEAR(screen->seenAngle(), expectedSeen, 1e-4);
    EXPECT_NEAR(stored, GetParam().mirror ? -expectedSeen : expectedSeen, 1e-4);
    EXPECT_NEAR(stored * 10, std::round(stored * 10), 1e-4) << "tenths of a degree";
    EXPECT_EQ(screen->slider()->sliderLabel()->text(), "13.2°");
    // The preview holds the working copy.
    ASSERT_TRUE(screen->imageView()->lastImage());
    EXPECT_EQ(screen->imageView()->lastImage()->transformations()->front(), screen->transformation());

    host->touchUp(1);
    settle();
    EXPECT_TRUE(screen->gridView()->isHidden()) << "the grid goes when the thumb is let go";
    EXPECT_NEAR(screen->seenAngle(), expectedSeen, 1e-4);
}

// The thumb opens where the committed angle is seen, and OK commits the new angle as one step that
// undo takes back whole.
TEST_P(StraightenScreen, OpensAtTheSeenAngleAndOkCommitsOneStep) {
    commitGeometry();
    auto committed = std::make_shared<RUXStraightenTransformation>();
    committed->setValue(GetParam().mirror ? 5.0f : -5.0f);
    editManager->commitTransformation(committed);
    showCommittedImage();
    const ScreenTest::EditState before = ScreenTest::editStateOf(*editManager);

    auto screen = present<RUXStraightenViewController>();
    EXPECT_NEAR(screen->seenAngle(), -5, 1e-6);
    EXPECT_NEAR(screen->slider()->currentValue(), -50, 1e-9);
    EXPECT_EQ(screen->slider()->sliderLabel()->text(), "-5.0°");

    // The thumb sits 15 points left of the centre; 40 points to the right of it.
    run("drag 145 480 185 480 0.3 10");
    settle();
    const float angle = screen->transformation()->value();
    EXPECT_NE(angle, committed->value());
    tap(kOkButton);
    EXPECT_FALSE(isPresenting());
    const ScreenTest::EditState after = ScreenTest::editStateOf(*editManager);
    EXPECT_EQ(after.undoDepth, before.undoDepth + 1);
    auto now = std::dynamic_pointer_cast<RUXStraightenTransformation>(
        editManager->getTransformationWithClass(RUXStraightenTransformation::classDescriptor()));
    ASSERT_TRUE(now);
    EXPECT_EQ(now->value(), angle);
    editManager->undo();
    EXPECT_EQ(editManager->getTransformationWithClass(RUXStraightenTransformation::classDescriptor()),
              committed);
}

INSTANTIATE_TEST_SUITE_P(Geometries, StraightenScreen,
                         ::testing::Values(Geometry{"Unturned", 0, false}, Geometry{"Turned", 1, false},
                                           Geometry{"Mirrored", 0, true},
                                           Geometry{"TurnedAndMirrored", 3, true}),
                         [](const ::testing::TestParamInfo<Geometry>& info) { return info.param.name; });

// Cancel after a drag leaves the committed list and its history as they were.
TEST_F(ToolScreenFixture, StraightenCancelLeavesTheCommittedList) {
    const ScreenTest::EditState before = ScreenTest::editStateOf(*editManager);
    present<RUXStraightenViewController>();
    run("drag 160 480 260 480 0.3 10");
    settle();
    tap(kCancelButton);
    EXPECT_FALSE(isPresenting());
    EXPECT_EQ(ScreenTest::editStateOf(*editManager), before);
}

} // namespace
