// rux-render and its batch open camera raws like any photo: upright, at their own size, with their
// Exif kept, and the batch writes a raw's picture as JPEG since raws are read, not written.
#include <Graphics/BitmapImage.h>
#include <Graphics/PhotoMetadata.h>
#include <Support/DngWriter.h>
#include <Support/RunProgram.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class RenderToolRaw : public testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("rux-render-raw-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir / "out");
        RUXTest::DngOptions options;
        options.orientation = 6;
        const std::vector<std::uint8_t> dng = RUXTest::makeDng(options);
        std::ofstream(path("photo.dng"), std::ios::binary)
            .write(reinterpret_cast<const char*>(dng.data()), static_cast<std::streamsize>(dng.size()));
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::filesystem::path m_dir;
};

TEST_F(RenderToolRaw, OpensARawUprightWithItsExifAndBatchesItToJpeg) {
    auto run = TestSupport::runProgram(RUX_RENDER_PATH, path("photo.dng") + " " + path("single.jpg") +
                                                            " --resolution original --brightness 0.1" +
                                                            " --save-recipe " + path("recipe.json"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    auto single = Graphics::BitmapImage::createFromFile(path("single.jpg"));
    ASSERT_TRUE(single);
    // The 96 × 64 sensor turned a quarter clockwise.
    EXPECT_EQ(single->bitmap()->width(), 64);
    EXPECT_EQ(single->bitmap()->height(), 96);
    auto metadata = Graphics::PhotoMetadata::createFromFile(path("single.jpg"));
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->value("Exif.Image.Model"), "Mosaic One");
    EXPECT_EQ(metadata->value("Exif.Image.Orientation"), "1");

    run = TestSupport::runProgram(RUX_RENDER_PATH, "--recipe " + path("recipe.json") + " --output-dir " +
                                                       path("out") + " " + path("photo.dng"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Graphics::BitmapImage::createFromFile(path("out/photo.jpg")));
}

} // namespace
