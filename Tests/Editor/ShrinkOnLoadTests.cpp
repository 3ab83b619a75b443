#include "EditorTestSupport.h"

#include <Graphics/ImageFile.h>
#include <Graphics/ImageSource.h>
#include <Manager/RUXEditManager.h>
#include <cmath>
#include <gtest/gtest.h>
#include <mutex>

using namespace EditorTest;

namespace {

// Soft shapes, a fine ripple and hard edges, as a photo has them, encoded as a camera would.
std::vector<std::uint8_t> photoJpeg(int w, int h) {
    auto bitmap = makeBitmap(w, h, [w, h](int x, int y) {
        const double ripple = 18 * std::sin(x * 0.21) * std::cos(y * 0.17);
        const bool inside = x > w / 3 && x < w / 2 && y > h / 4 && y < h / 2;
        return Rgba{static_cast<std::uint8_t>(std::clamp(60 + 140.0 * x / w + ripple, 0.0, 255.0)),
                    static_cast<std::uint8_t>(std::clamp(40 + 160.0 * y / h - ripple, 0.0, 255.0)),
                    static_cast<std::uint8_t>(inside ? 230 : 70), 255};
    });
    return *Graphics::encodeJPEG(*bitmap, 0.92);
}

// A codec's source that records every decode it makes, and may claim another orientation: what a
// decoder joining the lazy photo provides, seen from the edit manager.
class RecordingSource : public Graphics::ImageSource {
public:
    RecordingSource(std::shared_ptr<const Graphics::ImageSource> source,
                    Graphics::ImageOrientation orientation)
        : m_source(std::move(source)), m_orientation(orientation) {}

    int width() const override { return m_source->width(); }
    int height() const override { return m_source->height(); }
    Graphics::ImageOrientation orientation() const override { return m_orientation; }
    std::shared_ptr<Graphics::Bitmap> decodeCovering(int minWidth, int minHeight) const override {
        auto bitmap = m_source->decodeCovering(minWidth, minHeight);
        std::lock_guard lock(m_mutex);
        m_decodedWidths.push_back(bitmap ? bitmap->width() : 0);
        return bitmap;
    }
    std::vector<int> decodedWidths() const {
        std::lock_guard lock(m_mutex);
        return m_decodedWidths;
    }

private:
    std::shared_ptr<const Graphics::ImageSource> m_source;
    Graphics::ImageOrientation m_orientation;
    mutable std::mutex m_mutex;
    mutable std::vector<int> m_decodedWidths;
};

// How far a picture is from another: the largest difference of any channel of any pixel, and the
// mean of each pixel's largest. Infinite for pictures of different sizes.
struct Difference {
    int largest = std::numeric_limits<int>::max();
    double mean = std::numeric_limits<double>::infinity();
};

Difference difference(const ImageEngine::ImagePtr& a, const ImageEngine::ImagePtr& b) {
    auto x = render(a), y = render(b);
    if (!x || !y || x->width() != y->width() || x->height() != y->height()) {
        return {};
    }
    Difference result{0, 0.0};
    double sum = 0;
    for (int row = 0; row < x->height(); ++row) {
        for (int column = 0; column < x->width(); ++column) {
            const int d = maxDifference(pixel(*x, column, row), pixel(*y, column, row));
            result.largest = std::max(result.largest, d);
            sum += d;
        }
    }
    result.mean = sum / (double(x->width()) * x->height());
    return result;
}

struct ShrinkCase {
    double screenScale;
    int width, height;
    Graphics::ImageOrientation orientation;
    // Widths of the two decodes: for the screens, then for Save.
    int screenDecode, outputDecode;
};

class ShrinkOnLoad : public testing::TestWithParam<ShrinkCase> {};

// A reduced decode is the full one filtered once more (the scaled inverse DCT averages blocks)
// before the same resampling: on average each picture stays within a level of the one made from
// the full decode, the thumbnail everywhere within 2; at hard edges, where JPEG rings, the screen
// and output pictures may differ by more (12 to 19 levels here, up to 37 on real photos).
constexpr int kLargestAtEdges = 24;

// Opening decodes once, for both screen pictures, below full size, and keeps nothing at full size;
// Save's picture is decoded on first use, again no larger than it needs.
TEST_P(ShrinkOnLoad, PicturesStayCloseToTheFullDecode) {
    const ShrinkCase& c = GetParam();
    ScreenScale scale(c.screenScale);
    const std::vector<std::uint8_t> jpeg = photoJpeg(c.width, c.height);
    auto decoded = Graphics::BitmapImage::createFromData(jpeg.data(), jpeg.size());
    ASSERT_TRUE(decoded);
    auto eager = RUXEditManager::create(Graphics::BitmapImage::create(decoded->bitmap(), 1.0, c.orientation));
    auto source = std::make_shared<RecordingSource>(Graphics::makeImageSource(jpeg), c.orientation);
    auto photo = Graphics::BitmapImage::createWithSource(source);
    auto lazy = RUXEditManager::create(photo);

    EXPECT_EQ(source->decodedWidths(), std::vector<int>{c.screenDecode});
    EXPECT_FALSE(photo->holdsFullBitmap());
    const Difference thumbnail = difference(lazy->thumbnailImage(), eager->thumbnailImage());
    EXPECT_LE(thumbnail.largest, 2);
    EXPECT_LE(thumbnail.mean, 1.0);
    const Difference screen = difference(lazy->lowResImage(), eager->lowResImage());
    EXPECT_LE(screen.largest, kLargestAtEdges);
    EXPECT_LE(screen.mean, 1.0);
    // Nothing more is decoded until Save's picture is asked for.
    EXPECT_EQ(source->decodedWidths().size(), 1u);
    const Difference output = difference(lazy->fullImage(), eager->fullImage());
    EXPECT_LE(output.largest, kLargestAtEdges);
    EXPECT_LE(output.mean, 1.0);
    EXPECT_EQ(source->decodedWidths(), (std::vector<int>{c.screenDecode, c.outputDecode}));
    EXPECT_FALSE(photo->holdsFullBitmap());
}

INSTANTIATE_TEST_SUITE_P(
    EditManager, ShrinkOnLoad,
    testing::Values(ShrinkCase{1, 2400, 1600, Graphics::ImageOrientation::Up, 1200, 1800},
                    // Save needs more than the photo has: the full decode.
                    ShrinkCase{2, 2400, 1600, Graphics::ImageOrientation::Right, 2100, 2400},
                    ShrinkCase{1, 4000, 2250, Graphics::ImageOrientation::DownMirrored, 1500, 2000}));

// At the photo's own size Save's picture is the full decode itself, made when Save first asks.
TEST(EditManager, OriginalOutputOfALazyPhotoIsDecodedOnFirstUse) {
    ScreenScale scale(1);
    const std::vector<std::uint8_t> jpeg = photoJpeg(1200, 800);
    auto source =
        std::make_shared<RecordingSource>(Graphics::makeImageSource(jpeg), Graphics::ImageOrientation::Up);
    auto photo = Graphics::BitmapImage::createWithSource(source);
    auto manager = RUXEditManager::create(photo, RUXOutputResolution::Original);
    EXPECT_EQ(source->decodedWidths().size(), 1u);
    EXPECT_FALSE(photo->holdsFullBitmap());
    auto decoded = Graphics::BitmapImage::createFromData(jpeg.data(), jpeg.size());
    EXPECT_EQ(
        difference(manager->fullImage(), ImageEngine::Image::createWithBitmap(decoded->bitmap())).largest, 0);
    EXPECT_EQ(source->decodedWidths(), (std::vector<int>{1050, 1200}));
}

} // namespace
