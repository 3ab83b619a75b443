// Camera raws develop neutrally from DNGs whose every photosite the test knows: grey stays grey at a
// fixed exposure, lightness keeps its order, the picture turns upright, the half-size and full paths
// agree, the Exif survives a save, and damaged or oversized raws end in nil with one line.
#include <Foundation/Log.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/CameraRaw.h>
#include <Graphics/PhotoMetadata.h>
#include <Graphics/PhotoOutput.h>
#include <Support/DngWriter.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Graphics;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<double, 3>;

// Four columns of patches over two rows: greys of rising lightness on top, then red, green, blue and
// a bright grey. Patches are 24 × 32 photosites, wide enough that a demosaic's edges stay clear of
// their centres.
constexpr int kColumns = 4, kRows = 2;
constexpr std::array<Rgb, kColumns* kRows> kPatches = {{
    {0.03, 0.03, 0.03},
    {0.18, 0.18, 0.18},
    {0.40, 0.40, 0.40},
    {0.70, 0.70, 0.70},
    {0.50, 0.06, 0.05},
    {0.05, 0.40, 0.06},
    {0.04, 0.07, 0.50},
    {0.85, 0.85, 0.85},
}};

RUXTest::DngOptions patchedDng() {
    RUXTest::DngOptions options;
    options.scene = [w = options.width, h = options.height](int x, int y) {
        return kPatches[static_cast<std::size_t>((y * kRows / h) * kColumns + x * kColumns / w)];
    };
    return options;
}

std::array<int, 3> pixel(const Bitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.row(y) + x * 4;
    return {p[0], p[1], p[2]};
}

// The mean colour of the middle of patch (column, row) of an upright picture.
std::array<double, 3> patchMean(const Bitmap& bitmap, int column, int row) {
    const int pw = bitmap.width() / kColumns, ph = bitmap.height() / kRows;
    const int cx = column * pw + pw / 2, cy = row * ph + ph / 2;
    std::array<double, 3> sum{};
    int count = 0;
    for (int y = cy - ph / 4; y <= cy + ph / 4; ++y)
        for (int x = cx - pw / 4; x <= cx + pw / 4; ++x, ++count)
            for (int c = 0; c < 3; ++c)
                sum[static_cast<std::size_t>(c)] += pixel(bitmap, x, y)[static_cast<std::size_t>(c)];
    for (double& s : sum)
        s /= count;
    return sum;
}

double srgbLevel(double linear) {
    const double encoded = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return encoded * 255;
}

std::shared_ptr<BitmapImage> open(const Bytes& dng, int minimumWidth = 0, int minimumHeight = 0) {
    return developCameraRaw(dng.data(), dng.size(), minimumWidth, minimumHeight);
}

TEST(CameraRaw, GreysStayNeutralAtAFixedExposureAndKeepTheirOrder) {
    const Bytes dng = RUXTest::makeDng(patchedDng());
    ASSERT_TRUE(cameraRawSize(dng.data(), dng.size()));
    // The ordinary loader opens it by content, at full size.
    auto image = BitmapImage::createFromData(dng.data(), dng.size());
    ASSERT_TRUE(image);
    const Bitmap& bitmap = *image->bitmap();
    ASSERT_EQ(bitmap.width(), 96);
    ASSERT_EQ(bitmap.height(), 64);
    double previous = -1;
    for (int column = 0; column < kColumns; ++column) {
        const auto mean = patchMean(bitmap, column, 0);
        SCOPED_TRACE(column);
        EXPECT_NEAR(mean[0], mean[1], 2.0);
        EXPECT_NEAR(mean[2], mean[1], 2.0);
        // The white level is white and nothing is brightened: the grey comes out as the scene had it.
        EXPECT_NEAR(mean[1], srgbLevel(kPatches[static_cast<std::size_t>(column)][1]), 3.0);
        EXPECT_GT(mean[1], previous);
        previous = mean[1];
    }
    // The colour patches keep their hue: their own primary leads.
    for (int column = 0; column < 3; ++column) {
        const auto mean = patchMean(bitmap, column, 1);
        SCOPED_TRACE(column);
        for (int other = 0; other < 3; ++other) {
            if (other != column) {
                EXPECT_GT(mean[static_cast<std::size_t>(column)], mean[static_cast<std::size_t>(other)] + 60);
            }
        }
    }
}

// Without AsShotNeutral the balance is LibRaw's grey-world average, which a frame of greys makes
// neutral too.
TEST(CameraRaw, WithoutAWhiteBalanceTheFrameIsBalancedOnItsAverage) {
    RUXTest::DngOptions options;
    options.asShotNeutral = false;
    options.scene = [](int x, int) {
        const double v = 0.1 + 0.6 * x / 96.0;
        return Rgb{v, v, v};
    };
    const Bytes dng = RUXTest::makeDng(options);
    auto image = open(dng);
    ASSERT_TRUE(image);
    const auto middle = pixel(*image->bitmap(), 48, 32);
    EXPECT_NEAR(middle[0], middle[1], 2);
    EXPECT_NEAR(middle[2], middle[1], 2);
}

// Clipped photosites become white, not the pink that a green channel clipped before red and blue gives.
TEST(CameraRaw, BlownHighlightsClipToWhite) {
    RUXTest::DngOptions options;
    options.scene = [](int, int) { return Rgb{3.0, 3.0, 3.0}; };
    auto image = open(RUXTest::makeDng(options));
    ASSERT_TRUE(image);
    const auto p = pixel(*image->bitmap(), 40, 30);
    EXPECT_EQ(p, (std::array<int, 3>{255, 255, 255}));
}

TEST(CameraRaw, OrientationTurnsThePictureUprightOnBothPaths) {
    for (const auto& [orientation, width, height] :
         std::vector<std::tuple<int, int, int>>{{1, 96, 64}, {3, 96, 64}, {6, 64, 96}, {8, 64, 96}}) {
        SCOPED_TRACE(orientation);
        RUXTest::DngOptions options = patchedDng();
        options.orientation = orientation;
        const Bytes dng = RUXTest::makeDng(options);
        auto full = open(dng);
        auto half = open(dng, width / 2, height / 2);
        ASSERT_TRUE(full && half);
        // The header tells the upright size before anything is developed.
        const auto size = cameraRawSize(dng.data(), dng.size());
        ASSERT_TRUE(size);
        EXPECT_EQ(size->width, width);
        EXPECT_EQ(size->height, height);
        EXPECT_EQ(full->bitmap()->width(), width);
        EXPECT_EQ(full->bitmap()->height(), height);
        EXPECT_EQ(half->bitmap()->width(), width / 2);
        EXPECT_EQ(half->bitmap()->height(), height / 2);
        // The darkest patch (the sensor's top left) lands in the corner the orientation names.
        const Bitmap& bitmap = *full->bitmap();
        const int right = bitmap.width() - 4, bottom = bitmap.height() - 4;
        const std::array<int, 2> corner = orientation == 1   ? std::array<int, 2>{3, 3}
                                          : orientation == 3 ? std::array<int, 2>{right, bottom}
                                          : orientation == 6 ? std::array<int, 2>{right, 3}
                                                             : std::array<int, 2>{3, bottom};
        EXPECT_NEAR(pixel(bitmap, corner[0], corner[1])[1], srgbLevel(kPatches[0][1]), 4);
    }
}

TEST(CameraRaw, HalfSizeAndFullDevelopmentAgree) {
    const Bytes dng = RUXTest::makeDng(patchedDng());
    // Half the 96 × 64 sensor covers 48 × 32; one pixel more either way needs the full demosaic.
    auto half = open(dng, 48, 32);
    ASSERT_TRUE(half);
    ASSERT_EQ(half->bitmap()->width(), 48);
    for (const auto& [width, height] : {std::pair{49, 1}, std::pair{1, 33}}) {
        auto larger = open(dng, width, height);
        ASSERT_TRUE(larger);
        EXPECT_EQ(larger->bitmap()->width(), 96);
    }
    auto full = open(dng);
    ASSERT_TRUE(full);
    ASSERT_EQ(full->bitmap()->width(), 96);
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            const auto a = patchMean(*half->bitmap(), column, row);
            const auto b = patchMean(*full->bitmap(), column, row);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(a[static_cast<std::size_t>(c)], b[static_cast<std::size_t>(c)], 3.0)
                    << "patch " << column << "," << row << " channel " << c;
        }
}

TEST(CameraRaw, ExifSurvivesASave) {
    const Bytes dng = RUXTest::makeDng(patchedDng());
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("rux-raw-" + std::to_string(::getpid()) + ".dng");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(dng.data()), static_cast<std::streamsize>(dng.size()));
    auto image = BitmapImage::createFromFile(path.string());
    auto metadata = PhotoMetadata::createFromFile(path.string());
    std::filesystem::remove(path);
    ASSERT_TRUE(image && metadata);
    PhotoOutputOptions output;
    output.metadata = metadata;
    for (ImageFileType type : {ImageFileType::JPEG, ImageFileType::WebP, ImageFileType::PNG}) {
        SCOPED_TRACE(static_cast<int>(type));
        Foundation::LogCapture log;
        auto bytes = encodePhoto(*image->bitmap(), type, output);
        ASSERT_TRUE(bytes);
        EXPECT_TRUE(log.lines().empty()) << log.lines().front();
        auto kept = PhotoMetadata::createFromData(bytes->data(), bytes->size());
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->value("Exif.Image.Make"), "RUX Test Cameras");
        EXPECT_EQ(kept->value("Exif.Image.Model"), "Mosaic One");
        EXPECT_EQ(kept->value("Exif.Photo.LensModel"), "RUX 35mm F2 Test Lens");
        EXPECT_EQ(kept->value("Exif.Photo.ExposureTime"), "1/125");
        EXPECT_EQ(kept->value("Exif.Photo.DateTimeOriginal"), "2024:05:01 10:20:30");
        EXPECT_EQ(kept->value("Exif.Image.Orientation"), "1");
        // The raw's own description of its mosaic does not describe the copy.
        EXPECT_FALSE(kept->value("Exif.Image.ColorMatrix1"));
        EXPECT_FALSE(kept->value("Exif.Image.CFAPattern"));
        auto reopened = BitmapImage::createFromData(bytes->data(), bytes->size());
        ASSERT_TRUE(reopened);
        EXPECT_EQ(reopened->bitmap()->width(), 96);
    }
}

TEST(CameraRaw, TruncatedAndOversizedRawsGiveNilWithOneLine) {
    Bytes truncated = RUXTest::makeDng(patchedDng());
    truncated.resize(truncated.size() / 2);
    RUXTest::DngOptions huge = patchedDng();
    huge.claimedWidth = 16384;
    huge.claimedHeight = 12208; // 200 megapixels, twice the default limit
    const Bytes oversized = RUXTest::makeDng(huge);
    for (const Bytes* bytes : std::initializer_list<const Bytes*>{&truncated, &oversized}) {
        SCOPED_TRACE(bytes == &truncated ? "truncated" : "oversized");
        for (int minimumSide : {0, 16}) {
            Foundation::LogCapture log;
            EXPECT_FALSE(open(*bytes, minimumSide, minimumSide));
            EXPECT_EQ(log.lines().size(), 1u);
        }
        Foundation::LogCapture log;
        EXPECT_FALSE(BitmapImage::createFromData(bytes->data(), bytes->size()));
        EXPECT_EQ(log.lines().size(), 1u);
        if (bytes == &oversized) {
            EXPECT_TRUE(log.contains("over the pixel limit")) << log.lines().front();
        }
    }
}

// A TIFF that is no raw is not taken for one.
TEST(CameraRaw, OtherDataIsNoRaw) {
    const Bytes notRaw = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};
    EXPECT_FALSE(cameraRawSize(notRaw.data(), notRaw.size()));
}

} // namespace
