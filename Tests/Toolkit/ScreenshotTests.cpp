#include "Toolkit/ToolkitTestSupport.h"

#include <Graphics/BitmapContext.h>
#include <Graphics/BitmapImage.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/Label.h>
#include <Toolkit/Window.h>
#include <gtest/gtest.h>

using namespace Toolkit;
using Graphics::Rect;
using Graphics::Size;
using P = std::array<int, 4>;

namespace {

std::shared_ptr<const Graphics::BitmapImage> solid(int w, int h, P rgba, double scale = 1) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k)
                bitmap->mutableRow(y)[x * 4 + k] =
                    static_cast<std::uint8_t>(rgba[static_cast<std::size_t>(k)]);
    return Graphics::BitmapImage::create(bitmap, scale);
}

struct ContentModeCase {
    ContentMode mode;
    Size image;
    Rect expected; // in bounds of 100 × 50
};

class ImageRectTest : public ::testing::TestWithParam<ContentModeCase> {};

TEST_P(ImageRectTest, PlacesTheImageByContentMode) {
    auto view = ImageView::create({0, 0, 100, 50});
    view->setContentMode(GetParam().mode);
    view->setImage(solid(static_cast<int>(GetParam().image.width), static_cast<int>(GetParam().image.height),
                         {255, 0, 0, 255}));
    EXPECT_EQ(view->imageRect(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ImageRectTest,
    ::testing::Values(ContentModeCase{ContentMode::ScaleToFill, {20, 20}, {0, 0, 100, 50}},
                      ContentModeCase{ContentMode::ScaleAspectFit, {20, 20}, {25, 0, 50, 50}},
                      ContentModeCase{ContentMode::ScaleAspectFit, {400, 100}, {0, 12.5, 100, 25}},
                      ContentModeCase{ContentMode::ScaleAspectFill, {20, 20}, {0, -25, 100, 100}},
                      ContentModeCase{ContentMode::Center, {20, 10}, {40, 20, 20, 10}},
                      ContentModeCase{ContentMode::Center, {300, 10}, {-100, 20, 300, 10}}));

TEST(ImageView, NoImageOrAnEmptyOneDrawsNothing) {
    auto view = ImageView::create({0, 0, 10, 10});
    EXPECT_TRUE(view->imageRect().isNull());
    EXPECT_EQ(view->sizeThatFits({}), (Size{0, 0}));
    view->setImage(solid(8, 4, {1, 2, 3, 255}, 2));
    EXPECT_EQ(view->sizeThatFits({}), (Size{4, 2}));
}

// A small screen with the interface's ingredients: centred white title text on black, a letter-boxed
// picture, and a clipped rounded thumbnail with a border.
TEST(Screenshot, TextPictureAndRoundedThumbnail) {
    auto window = Window::create({100, 60}, 2);
    auto title = Label::create({0, 0, 100, 30});
    title->setText("Crop");
    title->setFont(Font::boldSystemFont(17));
    title->setTextColor(Color::white());
    title->setTextAlignment(TextAlignment::Center);
    window->addSubview(title);

    auto picture = ImageView::create({0, 30, 40, 20});
    picture->setBackgroundColor({0, 0, 1, 1});
    picture->setContentMode(ContentMode::ScaleAspectFit);
    picture->setImage(solid(20, 20, {255, 0, 0, 255}));
    window->addSubview(picture);

    auto thumbnail = ImageView::create({60, 35, 20, 20});
    thumbnail->setContentMode(ContentMode::ScaleAspectFill);
    thumbnail->setImage(solid(40, 20, {0, 255, 0, 255}));
    thumbnail->setCornerRadius(6);
    thumbnail->setClipsToBounds(true);
    thumbnail->setBorderColor(Color::white());
    thumbnail->setBorderWidth(2);
    window->addSubview(thumbnail);
    ASSERT_TRUE(window->displayIfNeeded());

    // The title's lit pixels sit in the middle of the band, and only there.
    int left = 200, right = -1, top = 60, bottom = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            if (ToolkitTest::pixel(*window, x, y)[0] > 128) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0) << "no text drawn";
    EXPECT_NEAR((left + right) / 2.0, 100, 3);
    EXPECT_NEAR((top + bottom) / 2.0, 30, 6);
    EXPECT_GT(right - left, 60);
    EXPECT_LT(right - left, 120);
    EXPECT_GT(bottom - top, 15); // 17-point capitals at scale 2
    EXPECT_EQ(ToolkitTest::pixel(*window, 2, 2), (P{0, 0, 0, 255}));

    EXPECT_EQ(ToolkitTest::pixel(*window, 10, 70), (P{0, 0, 255, 255})); // letter box
    EXPECT_EQ(ToolkitTest::pixel(*window, 40, 80), (P{255, 0, 0, 255})); // picture
    EXPECT_EQ(ToolkitTest::pixel(*window, 75, 99), (P{0, 0, 255, 255}));

    EXPECT_EQ(ToolkitTest::pixel(*window, 120, 70), (P{0, 0, 0, 255}));       // cut corner
    EXPECT_EQ(ToolkitTest::pixel(*window, 121, 90), (P{255, 255, 255, 255})); // border
    EXPECT_EQ(ToolkitTest::pixel(*window, 140, 90), (P{0, 255, 0, 255}));     // picture inside
    EXPECT_EQ(ToolkitTest::pixel(*window, 140, 109), (P{255, 255, 255, 255}));
}

TEST(ImageView, AFarSmallerPictureIsAveragedNotSampled) {
    // Stripes three pixels wide, shown at 1 / 7.5: every screen pixel covers 40 to 60 % white.
    auto bitmap = Graphics::Bitmap::create(60, 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            const std::uint8_t v = (x / 3) % 2 ? 255 : 0;
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = p[1] = p[2] = v, p[3] = 255;
        }
    auto window = Window::create({4, 4}, 2);
    auto view = ImageView::create({0, 0, 4, 4});
    view->setImage(Graphics::BitmapImage::create(bitmap));
    window->addSubview(view);
    window->displayIfNeeded();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_NEAR(ToolkitTest::pixel(*window, x, y)[0], 128, 27) << x << "," << y;
}

// A view drawing for itself, as the crop grid does: its context is in its own points, y down, clipped
// to its window area.
class Marker : public View {
public:
    static std::shared_ptr<Marker> create(const Rect& frame) {
        return std::shared_ptr<Marker>(new Marker(frame));
    }
    void draw(Graphics::BitmapContext& context) override {
        ++draws;
        context.setFillColor({1, 0, 0, 1});
        context.fillRect({2, 2, 4, 4});
        context.setStrokeColor({0, 1, 0, 1});
        context.setLineWidth(2);
        context.beginPath();
        context.moveToPoint({0, 15});
        context.addLineToPoint({100, 15}); // runs far outside the view and its superview
        context.strokePath();
    }
    int draws = 0;

private:
    explicit Marker(const Rect& frame) : View(frame) {}
};

TEST(Screenshot, CustomDrawingUsesTheViewsPointsAndItsClip) {
    auto window = Window::create({50, 50}, 2);
    auto holder = View::create({10, 10, 25, 25});
    holder->setClipsToBounds(true);
    auto marker = Marker::create({0, 0, 20, 20});
    holder->addSubview(marker);
    window->addSubview(holder);
    window->displayIfNeeded();
    EXPECT_EQ(ToolkitTest::pixel(*window, 24, 24), (P{255, 0, 0, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*window, 31, 31), (P{255, 0, 0, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*window, 32, 32), (P{0, 0, 0, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*window, 23, 24), (P{0, 0, 0, 255}));
    EXPECT_EQ(ToolkitTest::pixel(*window, 60, 49), (P{0, 255, 0, 255})); // y 15 ± 1 points: rows 48 to 51
    EXPECT_EQ(ToolkitTest::pixel(*window, 69, 49), (P{0, 255, 0, 255})); // past the view, inside the holder
    EXPECT_EQ(ToolkitTest::pixel(*window, 70, 49), (P{0, 0, 0, 255}));   // cut at the holder's edge (x 35)
    EXPECT_EQ(ToolkitTest::pixel(*window, 60, 47), (P{0, 0, 0, 255}));
    // A change elsewhere does not run the view's drawing again.
    const int draws = marker->draws;
    auto other = View::create({40, 40, 5, 5});
    window->addSubview(other);
    other->setBackgroundColor({1, 1, 1, 1});
    window->displayIfNeeded();
    EXPECT_EQ(marker->draws, draws);
}

} // namespace
