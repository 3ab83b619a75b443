// The white balance's tool screen: what a slider drag, the dropper, Cancel and OK do to the working
// copy and the committed list.
#include "ToolScreenTestSupport.h"

#include <Transformation/RUXWhiteBalanceTransformation.h>
#include <View/RUXWhiteBalanceViewController.h>
#include <algorithm>
#include <cmath>

namespace {

using ScreenTest::editStateOf;
using ScreenTest::kCancelButton;
using ScreenTest::kOkButton;
using ScreenTest::ToolScreenFixture;

// The photo's left half is a grey card under warm, slightly green light; the right half is busy.
std::shared_ptr<Graphics::BitmapImage> warmCardPhoto() {
    return Graphics::BitmapImage::create(
        EditorTest::makeBitmap(300, 200,
                               [](int x, int y) {
                                   if (x < 150) {
                                       return EditorTest::Rgba{205, 160, 105, 255};
                                   }
                                   return EditorTest::Rgba{std::uint8_t(x * 5), std::uint8_t(y * 3), 90, 255};
                               }),
        2);
}

class WhiteBalanceScreen : public ToolScreenFixture {
public:
    void SetUp() override {
        ToolScreenFixture::SetUp();
        editManager = RUXEditManager::create(warmCardPhoto());
        showCommittedImage();
        screen = present<RUXWhiteBalanceViewController>();
        ASSERT_TRUE(screen && screen->transformation());
    }

    // The window point of a slider's thumb.
    static Graphics::Point thumbOf(const std::shared_ptr<RUXSlider>& slider) {
        return centreInWindow(slider->movingUnit());
    }

    void drag(Graphics::Point from, Graphics::Point to) {
        host->touchDown(1, from);
        host->touchMove(1, {(from.x + to.x) / 2, from.y});
        host->touchMove(1, to);
        host->touchUp(1);
        settle();
    }

    // The working copy's preview, rendered here.
    std::shared_ptr<const Graphics::Bitmap> preview() {
        auto picture = renderer->renderedImage(
            editManager->highQualityPreviewImageWithTransformation(screen->transformation()));
        return picture ? picture->bitmap() : nullptr;
    }

    std::shared_ptr<RUXWhiteBalanceViewController> screen;
};

// The sliders open at D65 (6504 K, tint 0); dragging the temperature thumb moves the working copy
// evenly in mired and nothing else, and Cancel leaves the committed list and history as they were.
TEST_F(WhiteBalanceScreen, SliderDragChangesTheWorkingCopyAndCancelKeepsTheCommittedList) {
    const ScreenTest::EditState before = editStateOf(*editManager);
    EXPECT_EQ(screen->transformation()->temperature(), 6504);
    EXPECT_EQ(screen->transformation()->tint(), 0);
    const auto atOpen = preview();

    // The thumb stands where 6504 K falls on a track even in mired from 2000 to 50000 K.
    const std::shared_ptr<RUXSlider>& temperature = screen->temperatureSlider();
    const double fraction6504 = (1e6 / 2000 - 1e6 / 6504) / (1e6 / 2000 - 1e6 / 50000);
    EXPECT_NEAR((temperature->currentValue() + 100) / 200, fraction6504, 1e-6);

    const Graphics::Point thumb = thumbOf(temperature);
    const double trackWidth = temperature->bounds().width() - 48;
    drag(thumb, {thumb.x - 0.25 * trackWidth, thumb.y});
    const double mired = 1e6 / screen->transformation()->temperature();
    EXPECT_NEAR(mired, 1e6 / 6504 + 0.25 * (1e6 / 2000 - 1e6 / 50000), 3);
    EXPECT_EQ(screen->transformation()->tint(), 0);

    // Dropped near where it started, the thumb snaps back to 6504 K exactly: the picture as it is.
    const Graphics::Point moved = thumbOf(temperature);
    drag(moved, {thumb.x + 4, thumb.y});
    EXPECT_EQ(screen->transformation()->temperature(), 6504);
    const auto snapped = preview();
    ASSERT_TRUE(snapped && atOpen);
    EXPECT_TRUE(EditorTest::sameBytes(*snapped, *atOpen));

    const Graphics::Point tintThumb = thumbOf(screen->tintSlider());
    drag(tintThumb, {tintThumb.x + 0.25 * trackWidth, tintThumb.y});
    EXPECT_NEAR(screen->transformation()->tint(), 75, 2);

    tap(kCancelButton);
    EXPECT_FALSE(isPresenting());
    EXPECT_EQ(editStateOf(*editManager), before);
}

// With the dropper on, a tap on the warm grey card sets the temperature and tint that make it grey;
// OK then commits the working copy as one step that undo takes back.
TEST_F(WhiteBalanceScreen, DropperMakesTheTappedGreyNeutralAndOkCommitsOneStep) {
    const ScreenTest::EditState before = editStateOf(*editManager);
    const std::shared_ptr<RUXImageView>& imageView = screen->imageView();
    const Graphics::Rect shown = imageView->imageRect();
    ASSERT_FALSE(shown.isEmpty());
    const Graphics::Point onCard =
        imageView->convertPointToView({shown.origin.x + 0.25 * shown.size.width, shown.midY()}, nullptr);

    // Off, a tap changes nothing.
    tap(onCard);
    EXPECT_EQ(screen->transformation()->temperature(), 6504);

    tap(centreInWindow(screen->dropperButton()));
    ASSERT_TRUE(screen->isDropperOn());
    tap(onCard);
    const double temperature = screen->transformation()->temperature();
    EXPECT_LT(temperature, 4500);
    auto bitmap = preview();
    ASSERT_TRUE(bitmap);
    const EditorTest::Rgba card = EditorTest::pixel(*bitmap, bitmap->width() / 4, bitmap->height() / 2);
    EXPECT_LE(std::max({card[0], card[1], card[2]}) - std::min({card[0], card[1], card[2]}), 1)
        << int(card[0]) << " " << int(card[1]) << " " << int(card[2]);
    // The thumbs followed the picked values.
    EXPECT_NEAR(RUXValueAtSliderFraction(RUXWhiteBalanceTransformation::declaration().parameters[0],
                                         (screen->temperatureSlider()->currentValue() + 100) / 200),
                temperature, 1);
    // A tap off the picture picks nothing.
    EXPECT_FALSE(screen->pickNeutralAt({-5, -5}));

    tap(kOkButton);
    EXPECT_FALSE(isPresenting());
    const ScreenTest::EditState after = editStateOf(*editManager);
    EXPECT_EQ(after.undoDepth, before.undoDepth + 1);
    auto committed = std::dynamic_pointer_cast<RUXWhiteBalanceTransformation>(
        editManager->getTransformationWithClass(RUXWhiteBalanceTransformation::classDescriptor()));
    ASSERT_TRUE(committed);
    EXPECT_EQ(committed->temperature(), temperature);
    editManager->undo();
    EXPECT_EQ(editStateOf(*editManager).transformations, before.transformations);
}

} // namespace
