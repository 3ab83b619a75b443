#include <Foundation/Bundle.h>
#include <Utility/RUXImageUtility.h>
#include <Utility/RUXResourceLocation.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Leaves the bundle paths as the search finds them, whatever a test set.
class ResourceLocation : public testing::Test {
protected:
    void SetUp() override { RUXSetResourceDirectory(""); }
    void TearDown() override { RUXSetResourceDirectory(""); }
};

TEST_F(ResourceLocation, BuildTreeProgramsFindTheTreesCopyWithoutHelp) {
    // The test runs from the build tree, whose share/RUXImageEditor the build lays out as an install
    // does; nothing compiled into the editor names the source tree.
    const fs::path bundle = RUXResourceBundlePath();
    ASSERT_FALSE(bundle.empty());
    EXPECT_EQ(bundle.filename(), "RUXImageEditor.bundle");
    EXPECT_EQ(bundle.parent_path().filename(), "RUXImageEditor");
    EXPECT_EQ(bundle.parent_path().parent_path().filename(), "share");
    EXPECT_TRUE(fs::exists(fs::path(RUXCodeBundlePath()) / "circle.png"));
    EXPECT_TRUE(RUXGetImage("ic_crop"));
}

TEST_F(ResourceLocation, AHostsFolderIsTheOnlyPlaceRead) {
    const fs::path root = fs::temp_directory_path() / ("rux-resource-location-" + std::to_string(::getpid()));
    fs::create_directories(root / "RUXImageEditor.bundle");

    RUXSetResourceDirectory(root.string());
    EXPECT_EQ(fs::path(RUXResourceBundlePath()), root / "RUXImageEditor.bundle");
    EXPECT_EQ(fs::path(RUXCodeBundlePath()), root);
    // The folder has no icons, and the tree's copy is not consulted behind the host's back.
    EXPECT_EQ(RUXGetImage("ic_crop"), nullptr);

    // A folder without a bundle gives none, rather than some other install's.
    fs::remove_all(root / "RUXImageEditor.bundle");
    EXPECT_EQ(RUXResourceBundlePath(), "");

    RUXSetResourceDirectory("");
    EXPECT_NE(fs::path(RUXResourceBundlePath()).parent_path(), root);
    fs::remove_all(root);
}

} // namespace
