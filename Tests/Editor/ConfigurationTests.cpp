#include "EditorTestSupport.h"

#include <Configuration/RUXImageEditorConfiguration.h>
#include <Foundation/Bundle.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Utility/RUXColorAdditions.h>
#include <Utility/RUXImageUtility.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

using namespace EditorTest;

namespace {

TEST(SampleConfiguration, NamesExactClassesAndEnablesEverything) {
    RUXImageEditorSampleConfiguration configuration;
    EXPECT_EQ(configuration.title(), "Edit Image");
    EXPECT_EQ(configuration.nextButton(), "SAVE");
    EXPECT_EQ(configuration.nameForTransformation(RUXFilterVivid()), "March");
    EXPECT_EQ(configuration.nameForTransformation(RUXFilterIdentity()), "Original");
    EXPECT_EQ(configuration.nameForTransformation(RUXFilterCustom()), std::nullopt);
    EXPECT_EQ(configuration.nameForTransformation(RUXBeautifulBlurTransformation()), std::nullopt);
    EXPECT_EQ(configuration.nameForTransformation(RUXNormalizeTransformation()), std::nullopt);
    EXPECT_TRUE(configuration.isTransformationEnabled(RUXFilterCustom::classDescriptor()));
    // Every offered look has its own name, and the names lead back to the classes.
    std::set<std::string> names;
    for (const RUXClass* look : RUXOfferedLookClasses()) {
        auto name = configuration.nameForTransformation(*look->create());
        ASSERT_TRUE(name) << look->name;
        names.insert(*name);
        EXPECT_EQ(RUXImageEditorSampleConfiguration::classForDisplayName(*name), look);
        EXPECT_EQ(RUXTransformationClassNamed(look->name), look);
    }
    EXPECT_EQ(names.size(), 13u);
}

TEST(Colours, ComponentsOfTheLow24Bits) {
    EXPECT_EQ(RUXColorWithHexCode(0xFF5722), (Graphics::Color{1.0, 87 / 255.0, 34 / 255.0, 1.0}));
    EXPECT_EQ(RUXColorWithHexCode(0x7F191919), RUXColorWithHexCode(0x191919));
    EXPECT_EQ(rux_colorWithCode(-1), (Graphics::Color{1, 1, 1, 1}));
}

TEST(GetImage, ResolvesNamesInTheResourceBundle) {
    ScreenScale scale(2);
    auto root = std::filesystem::temp_directory_path() / ("rux-get-image-" + std::to_string(::getpid()));
    auto bundle = root / "RUXImageEditor.bundle";
    std::filesystem::create_directories(bundle);
    struct RemoveWhenDone {
        std::filesystem::path path;
        ~RemoveWhenDone() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } removeRoot{root};
    const TestSupport::MainBundlePath resources(root.string());
    EXPECT_EQ(RUXGetImage("icon"), nullptr);

    // Copy one real PNG of the tree under test names.
    std::filesystem::path png = std::filesystem::path(RUX_SOURCE_RESOURCES_DIR) / "circle.png";
    std::filesystem::path png2 = std::filesystem::path(RUX_SOURCE_RESOURCES_DIR) / "circle@2x.png";
    std::filesystem::copy_file(png, bundle / "icon.png");
    std::filesystem::copy_file(png2, bundle / "icon@2x.png");
    std::filesystem::copy_file(png, bundle / "data.bin");
    auto plain = RUXGetImage("icon");
    ASSERT_TRUE(plain);
    // The plain name takes the screen's variant, keeping the size in points.
    EXPECT_EQ(plain->scale(), 2.0);
    EXPECT_EQ(plain->size(), (Graphics::Size{100, 100}));
    // The name with its type spelt out is the same picture.
    auto explicitType = RUXGetImage("icon.png");
    ASSERT_TRUE(explicitType);
    EXPECT_EQ(explicitType->scale(), 2.0);
    EXPECT_EQ(explicitType->bitmap()->width(), plain->bitmap()->width());
    EXPECT_TRUE(RUXGetImage("data.bin.extra"));
    EXPECT_EQ(RUXGetImage("missing"), nullptr);
    EXPECT_EQ(RUXGetImage("../icon"), nullptr);

    // Without the resource bundle nothing resolves.
    std::filesystem::remove_all(bundle);
    EXPECT_EQ(RUXGetImage("icon"), nullptr);
}

} // namespace
