#include "EditorTestSupport.h"

#include <Foundation/Bundle.h>
#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Graphics/ImageFile.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXImageMetadata.h>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace EditorTest;

namespace {

// A table image whose tiles sit tilesPerRow to a row; entry (r, g, b) has the colour f(r, g, b).
std::shared_ptr<Graphics::BitmapImage> tableImage(int tilesPerRow,
                                                  const std::function<Rgba(int, int, int)>& f) {
    const int rows = (33 + tilesPerRow - 1) / tilesPerRow;
    return Graphics::BitmapImage::create(makeBitmap(33 * tilesPerRow, 33 * rows, [&](int x, int y) {
        int b = (y / 33) * tilesPerRow + x / 33;
        return b < 33 ? f(x % 33, y % 33, b) : Rgba{0, 0, 0, 255};
    }));
}

std::uint8_t level(int i) {
    return std::uint8_t(std::lround(i * 255.0 / 32));
}
Rgba identityEntry(int r, int g, int b) {
    return {level(r), level(g), level(b), 255};
}
Rgba identityEntryAt(int x, int y) {
    return identityEntry(x % 33, y % 33, 0);
}
Rgba swapEntry(int r, int g, int b) {
    return {level(b), level(g), level(r), 255};
}

float entryChannel(const ImageEngine::Data& data, std::size_t entry, int channel) {
    float v;
    std::memcpy(&v, data->data() + entry * 16 + channel * 4, 4);
    return v;
}

TEST(LookupTableData, LayoutIsTheSameForEveryGridShape) {
    // Distinct bytes per entry so that any misplaced slice shows.
    auto colour = [](int r, int g, int b) {
        return Rgba{std::uint8_t(r * 7), std::uint8_t(g * 7), std::uint8_t(b * 7), 255};
    };
    auto row = RUXLookupTableDataFromImage(tableImage(33, colour));
    auto column = RUXLookupTableDataFromImage(tableImage(1, colour));
    ASSERT_TRUE(row && column);
    ASSERT_EQ(row->size(), kRUXLookupTableByteCount);
    EXPECT_EQ(*row, *column);
    // Tile 0's top-left pixel is entry (0, 0, 0) at byte 0; tile 32's bottom-right is (32, 32, 32),
    // the last 16 bytes.
    EXPECT_FLOAT_EQ(entryChannel(row, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(entryChannel(row, 35936, 0), 224 / 255.0f);
    EXPECT_FLOAT_EQ(entryChannel(row, 35936, 3), 1.0f);
    // Entry (r, g, b) = (3, 5, 7) lies at r + 33 g + 33² b.
    std::size_t e = 3 + 33 * 5 + 33 * 33 * 7;
    EXPECT_FLOAT_EQ(entryChannel(row, e, 0), 21 / 255.0f);
    EXPECT_FLOAT_EQ(entryChannel(row, e, 1), 35 / 255.0f);
    EXPECT_FLOAT_EQ(entryChannel(row, e, 2), 49 / 255.0f);
}

TEST(LookupTableData, ImagesOutsideTheFormatAreRefused) {
    Foundation::LogCapture capture;
    auto colour = [](int, int, int) { return Rgba{128, 128, 128, 255}; };
    // Four tiles to a row in nine rows make room for 36 tiles, not 33.
    EXPECT_EQ(RUXLookupTableDataFromImage(tableImage(4, colour)), nullptr);
    EXPECT_EQ(
        RUXLookupTableDataFromImage(Graphics::BitmapImage::create(makeBitmap(34, 33,
                                                                             [](int, int) {
                                                                                 return Rgba{0, 0, 0, 255};
                                                                             }))),
        nullptr);
    EXPECT_EQ(RUXLookupTableDataFromImage(nullptr), nullptr);
    EXPECT_TRUE(capture.contains("not a grid of 33 tiles"));
    auto half = RUXLookupTableDataFromImage(tableImage(11, colour));
    ASSERT_TRUE(half);
    EXPECT_FLOAT_EQ(entryChannel(half, 100, 1), 128 / 255.0f);
}

class LookTable : public testing::TestWithParam<bool> {};

TEST_P(LookTable, IdentityKeepsAndSwapSwapsColours) {
    const bool swap = GetParam();
    RUXFilterLookupTable table;
    table.setData(RUXLookupTableDataFromImage(tableImage(33, swap ? swapEntry : identityEntry)));
    auto photo = makeImage(8, 8, [](int x, int y) {
        return Rgba{std::uint8_t(30 * x), 77, std::uint8_t(20 + 25 * y), 255};
    });
    auto source = render(photo);
    auto out = render(table.resultFromImage(photo));
    ASSERT_TRUE(out);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            Rgba in = pixel(*source, x, y), expected = swap ? Rgba{in[2], in[1], in[0], 255} : in;
            EXPECT_LE(maxDifference(pixel(*out, x, y), expected), 2) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Looks, LookTable, testing::Bool());

// A resource bundle of our own in a temporary directory, made the main bundle for one test.
class TemporaryBundle {
public:
    TemporaryBundle() {
        m_root = std::filesystem::temp_directory_path() / ("rux-look-tests-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_root / "RUXImageEditor.bundle");
        Foundation::Bundle::setMainBundlePath(m_root.string());
    }
    ~TemporaryBundle() {
        Foundation::Bundle::setMainBundlePath("");
        std::error_code error;
        std::filesystem::remove_all(m_root, error);
    }
    std::filesystem::path bundle() const { return m_root / "RUXImageEditor.bundle"; }

private:
    std::filesystem::path m_root;
};

TEST(Look, MissingTableLeavesTheImageAndRetriesLater) {
    TemporaryBundle bundle;
    RUXFilterAden look;
    RUXImageMetadata metadata;
    auto photo = solidImage(4, 4, {10, 20, 30, 255});
    EXPECT_EQ(look.resultFromImage(photo, metadata), photo);
    EXPECT_EQ(look.lookupTable(), nullptr);
    // A copy is the same class without a table of its own yet.
    auto copy = look.copy();
    EXPECT_EQ(&copy->transformationClass(), &RUXFilterAden::classDescriptor());
    EXPECT_EQ(std::static_pointer_cast<RUXFilterBase>(copy)->lookupTable(), nullptr);

    // Once the resource is there, the next render loads it.
    ASSERT_TRUE(Graphics::writeImageFile(*tableImage(33, identityEntry)->bitmap(),
                                         (bundle.bundle() / "lut_aden_map.png").string()));
    EXPECT_NE(look.resultFromImage(photo, metadata), photo);
    ASSERT_TRUE(look.lookupTable());
    EXPECT_EQ(look.lookupTable()->data()->size(), kRUXLookupTableByteCount);

    // A table image outside the format still makes a table, without data: the look passes the
    // image through and, having a table, does not read the file again.
    ASSERT_TRUE(Graphics::writeImageFile(*makeBitmap(40, 33, identityEntryAt),
                                         (bundle.bundle() / "lut_crema_map.png").string()));
    RUXFilterCrema outOfFormat;
    EXPECT_EQ(outOfFormat.resultFromImage(photo, metadata), photo);
    auto table = outOfFormat.lookupTable();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->data(), nullptr);
    outOfFormat.resultFromImage(photo, metadata);
    EXPECT_EQ(outOfFormat.lookupTable(), table);
}

TEST(Look, IdentityLookReturnsItsInputObject) {
    RUXFilterIdentity identity;
    RUXImageMetadata metadata;
    auto photo = solidImage(2, 2, {1, 2, 3, 255});
    EXPECT_EQ(identity.resultFromImage(photo, metadata), photo);
    EXPECT_EQ(identity.quickResultFromImage(photo, metadata), photo);
}

// An overlay look whose overlay the test supplies.
class TestOverlayLook final : public RUXFilterWithOverlayBase {
    RUX_TRANSFORMATION_CLASS(TestOverlayLook)
public:
    ImageEngine::ImagePtr overlayImage() const override { return overlay; }
    ImageEngine::ImagePtr overlay;
};
RUX_DEFINE_TRANSFORMATION_CLASS(TestOverlayLook)

TEST(Look, OverlayIsScaledToCoverTheImage) {
    TestOverlayLook look;
    // A mid-grey overlay leaves the photo nearly as it is; a dark corner darkens it.
    look.overlay = makeImage(10, 10, [](int x, int y) {
        return x < 5 && y < 5 ? Rgba{0, 0, 0, 255} : Rgba{188, 188, 188, 255};
    });
    RUXImageMetadata metadata;
    auto photo = solidImage(20, 15, {200, 200, 200, 255});
    auto result = look.resultFromImage(photo, metadata);
    ASSERT_TRUE(result);
    // Scaled by (2, 1.5), the overlay covers the photo exactly and no more.
    EXPECT_EQ(RUXPixelRectForExtent(result->extent()), Graphics::Rect(0, 0, 20, 15));
    auto out = render(result);
    // Under a black foreground the overlay blend maps a light background b (linear) to 1 - 2(1 - b):
    // 200 is 0.578 linear, which gives 0.156, or 110 once encoded.
    EXPECT_NEAR(pixel(*out, 1, 1)[0], 110, 2);
    EXPECT_NEAR(pixel(*out, 8, 6)[0], 110, 2);
    EXPECT_GT(pixel(*out, 12, 10)[0], 150);
    look.overlay = nullptr;
    EXPECT_EQ(look.resultFromImage(photo, metadata), photo);
}

TEST(Look, TableAndOverlayLoadOnceUnderConcurrentFirstUse) {
    // The tree's resource bundle, when it is there; the test only needs some table to load.
    auto look = std::make_shared<RUXFilterTokyo>();
    std::vector<std::shared_ptr<RUXFilterLookupTable>> tables(8);
    std::vector<ImageEngine::ImagePtr> overlays(8);
    {
        TestSupport::MainBundlePath resources(RUX_SOURCE_RESOURCES_DIR);
        Foundation::parallelFor(8, [&](std::size_t i) {
            RUXImageMetadata metadata;
            look->resultFromImage(solidImage(4, 4, {1, 2, 3, 255}), metadata);
            tables[i] = look->lookupTable();
            overlays[i] = look->overlayImage();
        });
    }
    if (!tables[0]) {
        GTEST_SKIP() << "no resource bundle in the tree";
    }
    for (std::size_t i = 1; i < 8; ++i) {
        EXPECT_EQ(tables[i], tables[0]);
        EXPECT_EQ(overlays[i], overlays[0]);
    }
    EXPECT_EQ(RUXFilterTokyo().overlayImage(), overlays[0]);
}

} // namespace
