#include "EditorTestSupport.h"

#include <Graphics/ImageFile.h>
#include <Graphics/PhotoMetadata.h>
#include <Support/ReferenceImage.h>
#include <Support/RunProgram.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace EditorTest;

namespace {

using ToolRun = TestSupport::ProgramRun;

// Runs rux-render with the arguments, capturing stdout and stderr together.
ToolRun runTool(const std::string& arguments) {
    return TestSupport::runProgram(RUX_RENDER_PATH, arguments);
}

class RenderTool : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("rux-render-tests-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        // A small photo written by the tool itself from a tiny PNG of the tree.
        m_input = (std::filesystem::path(RUX_SOURCE_RESOURCES_DIR) / "circle@3x.png").string();
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::filesystem::path m_dir;
    std::string m_input;
};

TEST_F(RenderTool, BadArgumentsPrintUsageAndExitTwo) {
    for (const char* arguments :
         {"", "only-one.png", "a.png b.gif", "a.png b.png --rotate left", "a.png b.png --crop 0.1,0.2,0.3",
          "a.png b.png --crop 0,0,2,1", "a.png b.png --look Nonesuch", "a.png b.png --scale 0",
          "a.png b.png --repeat 0", "a.png b.png --resolution huge", "a.png b.png --brightness",
          "a.png b.png --bogus 1", "a.png b.png --focus-blur 0.5", "a.png b.png --quality 0",
          "a.png b.png --quality 101", "a.png b.png --quality 9.5"}) {
        ToolRun run = runTool(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.output.find("usage: rux-render"), std::string::npos) << arguments;
    }
}

TEST_F(RenderTool, UnreadableInputExitsOneAndWritesNothing) {
    std::ofstream(path("broken.png")) << "not a picture";
    for (std::string input : {path("missing.png"), path("broken.png")}) {
        ToolRun run = runTool(input + " " + path("out.png"));
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_NE(run.output.find("cannot read"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(path("out.png")));
    // Only the output itself is left in the directory: no temporary files either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
}

TEST_F(RenderTool, ResolutionsAndEditsGiveTheExpectedSizes) {
    // The 300 × 300 input is 300 points: at scale 1 full and screen keep it and the thumbnail is
    // 88; at scale 2 (the default) everything is drawn at two pixels per point (the thumbnail limit
    // is 176).
    struct Case {
        std::string arguments;
        std::string output;
        int width, height;
    };
    for (const Case& c : std::vector<Case>{
             {"--scale 1 --resolution full", "full.png", 300, 300},
             {"--scale 2 --resolution full", "full2.png", 600, 600},
             {"--resolution full", "full-default.png", 600, 600},
             {"--scale 1 --resolution thumbnail --look March", "thumb.jpg", 88, 88},
             {"--scale 2 --resolution thumbnail --look March", "thumb2.jpg", 352, 352},
             {"--scale 1 --crop 0,0,0.5,0.25 --rotate cw", "crop.png", 75, 150},
             {"--scale 1 --rotate cw --flip h --brightness 0.5 --saturation 0.2 --contrast 1.2 --look "
              "Etude --focus-blur "
              "0.3,0.4,1.5",
              "many.png", 300, 300},
             {"--scale 1 --circle-blur 0,0 --look RUXFilterCustom --resolution full --repeat 3 --time",
              "circle.png", 300, 300}}) {
        ToolRun run = runTool(m_input + " " + path(c.output) + " " + c.arguments);
        ASSERT_EQ(run.exitCode, 0) << c.arguments << "\n" << run.output;
        auto written = Graphics::BitmapImage::createFromFile(path(c.output));
        ASSERT_TRUE(written) << c.arguments;
        EXPECT_EQ(written->bitmap()->width(), c.width) << c.arguments;
        EXPECT_EQ(written->bitmap()->height(), c.height) << c.arguments;
        if (c.arguments.find("--time") != std::string::npos) {
            EXPECT_NE(run.output.find("ms (3 runs)"), std::string::npos) << run.output;
            EXPECT_EQ(run.output.rfind("render: ", 0), 0u) << run.output;
        }
    }
}

// The tone and sharpening flags reach the picture; values they cannot take are refused as usage.
TEST_F(RenderTool, ToneAndSharpenFlagsEditThePicture) {
    ToolRun plain = runTool(m_input + " " + path("plain.png") + " --scale 1");
    ToolRun edited = runTool(m_input + " " + path("edited.png") +
                             " --scale 1 --highlights -0.5 --shadows 0.7 --sharpen 1.5,2");
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    ASSERT_EQ(edited.exitCode, 0) << edited.output;
    auto a = Graphics::BitmapImage::createFromFile(path("plain.png"));
    auto b = Graphics::BitmapImage::createFromFile(path("edited.png"));
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->bitmap()->width(), b->bitmap()->width());
    bool differs = false;
    for (int y = 0; y < a->bitmap()->height(); ++y) {
        differs |=
            std::memcmp(a->bitmap()->row(y), b->bitmap()->row(y), std::size_t(a->bitmap()->width()) * 4) != 0;
    }
    EXPECT_TRUE(differs);
    for (const char* arguments : {" --sharpen -1", " --sharpen 1,0", " --sharpen 1,2,3", " --highlights x"}) {
        ToolRun run = runTool(m_input + " " + path("refused.png") + arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.output.find("usage: rux-render"), std::string::npos) << arguments;
    }
}

// Unedited at full resolution and scale 1, the photo comes out pixel for pixel as it went in.
TEST_F(RenderTool, UneditedFullResolutionKeepsThePhotosPixels) {
    const std::string output = path("same.png");
    ToolRun run = runTool(m_input + " " + output + " --scale 1 --resolution full");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    auto input = Graphics::BitmapImage::createFromFile(m_input);
    auto written = Graphics::BitmapImage::createFromFile(output);
    ASSERT_TRUE(input && written);
    const Graphics::Bitmap& before = *input->bitmap();
    const Graphics::Bitmap& after = *written->bitmap();
    ASSERT_EQ(after.width(), before.width());
    ASSERT_EQ(after.height(), before.height());
    int worst = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            worst = std::max(worst, maxDifference(pixel(after, x, y), pixel(before, x, y)));
        }
    }
    // One level for the trip through the engine's linear working space and back.
    EXPECT_LE(worst, 1);
}

// Edits whose result no simple formula predicts are compared with reference pictures, which
// scripts/update-reference-screenshots.sh regenerates. The tolerance follows the screenshots':
// six levels for the engine's SIMD paths rounding differently on another machine, and up to 30
// pixels beyond that where such a difference tips a resampled edge over; a wrong edit changes
// thousands.
struct EditedPicture {
    const char* name;
    const char* arguments;
};

class RenderToolPicture : public RenderTool, public testing::WithParamInterface<EditedPicture> {};

TEST_P(RenderToolPicture, MatchesItsReference) {
    // Colour in every channel and both directions, so that each adjustment and turn shows.
    const std::string input = path("photo.png");
    ASSERT_TRUE(Graphics::writeImageFile(*makeBitmap(160, 120,
                                                     [](int x, int y) {
                                                         return Rgba{std::uint8_t(x * 255 / 159),
                                                                     std::uint8_t(y * 255 / 119),
                                                                     std::uint8_t((x + y) % 64 * 4), 255};
                                                     }),
                                         input));
    const std::string output = path("edited.png");
    ToolRun run = runTool(input + " " + output + " --scale 1 " + GetParam().arguments);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    auto written = Graphics::BitmapImage::createFromFile(output);
    ASSERT_TRUE(written);
    EXPECT_TRUE(TestSupport::matchesReference(*written->bitmap(), TestSupport::currentTestFileName(), {6, 30},
                                              RUX_REFERENCE_DIR, RUX_SCREENSHOT_OUTPUT_DIR));
}

INSTANTIATE_TEST_SUITE_P(
    Edits, RenderToolPicture,
    testing::Values(EditedPicture{"ThumbnailWithALook", "--resolution thumbnail --look March"},
                    EditedPicture{"CroppedAndTurned", "--crop 0,0,0.5,0.25 --rotate cw"},
                    EditedPicture{"EveryAdjustment", "--rotate cw --flip h --brightness 0.5 --saturation 0.2 "
                                                     "--contrast 1.2 --look Etude --focus-blur 0.3,0.4,1.5"}),
    [](const testing::TestParamInfo<EditedPicture>& info) { return std::string(info.param.name); });

TEST_F(RenderTool, CropAndTurnsFrameTheRegionTheScreenWouldShow) {
    // Four coloured quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
    const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255}, white{255, 255, 255, 255};
    auto quadrants = makeBitmap(
        200, 100, [&](int x, int y) { return y < 50 ? (x < 100 ? red : green) : (x < 100 ? blue : white); });
    const std::string input = path("quadrants.png");
    ASSERT_TRUE(Graphics::writeImageFile(*quadrants, input));
    struct Case {
        std::string arguments;
        // The colours at the centres of the result's top-left and bottom-right quarters.
        Rgba topLeft, bottomRight;
    };
    for (const Case& c : std::vector<Case>{
             // The crop frames the turned picture: its top-left quarter is the photo's bottom-left.
             {"--rotate cw --crop 0,0,0.5,0.5", blue, blue},
             {"--flip h --crop 0.5,0,0.5,0.5", red, red},
             // Cropped first, then turned: the same region turns with the picture.
             {"--crop 0,0.5,0.5,0.5 --rotate ccw", blue, blue},
             // Turns and flips in a row act on one rotate working copy, as on the rotate screen.
             {"--rotate cw --flip h --rotate cw", green, blue},
             {"--rotate cw --flip h --rotate cw --rotate ccw --flip h --rotate ccw", red, white}}) {
        ToolRun run = runTool(input + " " + path("out.png") + " --scale 1 --resolution full " + c.arguments);
        ASSERT_EQ(run.exitCode, 0) << c.arguments << "\n" << run.output;
        auto written = Graphics::BitmapImage::createFromFile(path("out.png"));
        ASSERT_TRUE(written) << c.arguments;
        const Graphics::Bitmap& bitmap = *written->bitmap();
        const int w = bitmap.width(), h = bitmap.height();
        EXPECT_LE(maxDifference(pixel(bitmap, w / 4, h / 4), c.topLeft), 2) << c.arguments;
        EXPECT_LE(maxDifference(pixel(bitmap, 3 * w / 4, 3 * h / 4), c.bottomRight), 2) << c.arguments;
    }
}

// A camera's photo stored sideways (Orientation 6), larger than the output limit on its shorter side.
std::string writeCameraPhoto(const std::string& file) {
    auto stored = makeBitmap(1400, 1100, [](int x, int y) {
        return x < 100 && y < 100 ? Rgba{255, 0, 0, 255} : Rgba{40, 90, 200, 255};
    });
    const auto jpeg = *Graphics::encodeJPEG(*stored, 0.9);
    auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Canon";
    exif["Exif.Image.Model"] = "Canon EOS R6";
    exif["Exif.Image.DateTime"] = "2024:06:01 08:09:10";
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    std::vector<std::uint8_t> bytes(io.size());
    io.read(bytes.data(), static_cast<long>(bytes.size()));
    io.close();
    EXPECT_TRUE(Graphics::writeFileAtomically(file, bytes));
    return file;
}

TEST_F(RenderTool, OriginalResolutionKeepsThePhotosSizeAndMetadata) {
    const std::string photo = writeCameraPhoto(path("camera.jpg"));
    struct Case {
        std::string arguments, output;
        int width, height;
        bool metadata;
    };
    for (const Case& c : std::vector<Case>{
             {"--resolution original", "original.jpg", 1100, 1400, true},
             {"--resolution original --quality 60 --strip-metadata", "stripped.jpg", 1100, 1400, false},
             // The default is what the editor's Save renders: 1024 points on the shorter side.
             {"--scale 1 --look March", "full.png", 1024, 1304, true},
             {"--resolution original --crop 0.5,0,0.5,0.5", "cropped.png", 550, 700, true}}) {
        ToolRun run = runTool(photo + " " + path(c.output) + " " + c.arguments);
        ASSERT_EQ(run.exitCode, 0) << c.arguments << "\n" << run.output;
        auto written = Graphics::BitmapImage::createFromFile(path(c.output));
        ASSERT_TRUE(written) << c.arguments;
        EXPECT_EQ(written->orientation(), Graphics::ImageOrientation::Up);
        const Graphics::Bitmap& bitmap = *written->bitmap();
        EXPECT_EQ(bitmap.width(), c.width) << c.arguments;
        EXPECT_EQ(bitmap.height(), c.height) << c.arguments;
        // Turned once: the stored top-left corner is now at the top right.
        EXPECT_GT(pixel(bitmap, c.width - 10, 10)[0], 200) << c.arguments;
        auto metadata = Graphics::PhotoMetadata::createFromFile(path(c.output));
        EXPECT_EQ(metadata != nullptr, c.metadata) << c.arguments;
        if (metadata) {
            EXPECT_EQ(metadata->value("Exif.Image.Model"), "Canon EOS R6");
            EXPECT_EQ(metadata->value("Exif.Image.DateTime"), "2024:06:01 08:09:10");
            EXPECT_EQ(metadata->value("Exif.Image.Orientation"), "1");
        }
    }
    EXPECT_LT(std::filesystem::file_size(path("stripped.jpg")),
              std::filesystem::file_size(path("original.jpg")));
}

TEST_F(RenderTool, ListsTheLooks) {
    ToolRun run = runTool("--list-looks");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* name : {"Original", "March", "Chorale", "RUXFilterCustom"}) {
        EXPECT_NE(run.output.find(name), std::string::npos) << name;
    }
}

} // namespace
