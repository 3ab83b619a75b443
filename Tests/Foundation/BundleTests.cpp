#include <Foundation/Bundle.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Foundation;
namespace fs = std::filesystem;

namespace {

class BundleTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("rux-bundle-test-" + std::to_string(getpid()));
        fs::create_directories(m_root / "Resources.bundle");
        std::ofstream(m_root / "Resources.bundle" / "icon.png") << "x";
        std::ofstream(m_root / "Resources.bundle" / "README") << "x";
        std::ofstream(m_root / "plain.txt") << "x";
    }
    void TearDown() override {
        Bundle::setMainBundlePath("");
        Bundle::setCodeBundlePath("");
        fs::remove_all(m_root);
    }
    fs::path m_root;
};

} // namespace

TEST_F(BundleTest, TheResourceBundleIsFoundThroughTheMainBundle) {
    Bundle::setMainBundlePath(m_root.string());
    auto main = Bundle::mainBundle();
    const std::string bundlePath = main->pathForResource("Resources", "bundle");
    ASSERT_EQ(bundlePath, (m_root / "Resources.bundle").string());
    auto resources = Bundle::bundleWithPath(bundlePath);
    ASSERT_NE(resources, nullptr);
    EXPECT_EQ(resources->pathForResource("icon", "png"), (m_root / "Resources.bundle" / "icon.png").string());
    EXPECT_EQ(resources->pathForResource("README", ""), (m_root / "Resources.bundle" / "README").string());

    // Files added later are found: nothing is cached.
    std::ofstream(m_root / "Resources.bundle" / "late.png") << "x";
    EXPECT_NE(resources->pathForResource("late", "png"), "");
}

TEST_F(BundleTest, MissingOrEscapingResourcesAnswerEmpty) {
    auto resources = Bundle::bundleWithPath((m_root / "Resources.bundle").string());
    ASSERT_NE(resources, nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"missing", "png"},  {"icon", "jpg"},    {"", "png"},         {"..", "txt"},
        {"../plain", "txt"}, {"icon", "png/.."}, {"/etc/passwd", ""},
    };
    for (const auto& [name, type] : cases) {
        EXPECT_EQ(resources->pathForResource(name, type), "") << name << " / " << type;
    }
    EXPECT_EQ(Bundle::bundleWithPath((m_root / "plain.txt").string()), nullptr);
    EXPECT_EQ(Bundle::bundleWithPath((m_root / "absent").string()), nullptr);
    EXPECT_EQ(Bundle::bundleWithPath(""), nullptr);
}

TEST_F(BundleTest, DefaultsAreTheExecutablesDirectoryAndTheMainBundle) {
    auto main = Bundle::mainBundle();
    EXPECT_NE(main->pathForResource("FoundationTests", ""), "");
    EXPECT_EQ(Bundle::codeBundle()->bundlePath(), main->bundlePath());

    Bundle::setCodeBundlePath((m_root / "Resources.bundle").string());
    EXPECT_NE(Bundle::codeBundle()->pathForResource("icon", "png"), "");
    EXPECT_EQ(Bundle::mainBundle()->bundlePath(), main->bundlePath());
    Bundle::setCodeBundlePath("");
    EXPECT_EQ(Bundle::codeBundle()->bundlePath(), main->bundlePath());
}
