// Every name the editor asks for resolves through its own lookup, at each screen scale, with the same size
// in points: what a button or a look actually gets.
#include "Icons.h"
#include "Looks.h"
#include "Overlays.h"

#include <Foundation/Bundle.h>
#include <Graphics/BitmapImage.h>
#include <Utility/RUXImageUtility.h>
#include <gtest/gtest.h>

namespace {

using namespace ResourceArt;

class ResourceLookup : public testing::TestWithParam<double> {
protected:
    void SetUp() override {
        m_savedScale = Graphics::mainScreenScale();
        Graphics::setMainScreenScale(GetParam());
        Foundation::Bundle::setMainBundlePath(RUX_RESOURCES_DIR);
    }
    void TearDown() override { Graphics::setMainScreenScale(m_savedScale); }

private:
    double m_savedScale = 1.0;
};

TEST_P(ResourceLookup, IconsResolveAtTheScreenScaleWithTheirPointSize) {
    const double scale = GetParam();
    for (const auto& glyph : glyphs()) {
        for (IconState state : {IconState::Normal, IconState::Pressed, IconState::Disabled}) {
            if (state == IconState::Disabled && !glyph.hasDisabledState)
                continue;
            const std::string name = iconResourceName(glyph, state);
            const auto image = RUXGetImage(name);
            ASSERT_TRUE(image) << name;
            EXPECT_EQ(image->scale(), scale) << name;
            EXPECT_EQ(image->size().width, glyph.width) << name;
            EXPECT_EQ(image->size().height, glyph.height) << name;
        }
    }
}

TEST_P(ResourceLookup, TablesAndOverlaysResolveAtFullPixelSize) {
    for (const auto& look : looks()) {
        const auto table = RUXGetImage(look.tableName);
        ASSERT_TRUE(table) << look.tableName;
        EXPECT_EQ(table->bitmap()->width(), 1089);
        if (!look.overlayName.empty()) {
            const auto overlay = RUXGetImage(look.overlayName);
            ASSERT_TRUE(overlay) << look.overlayName;
            EXPECT_EQ(overlay->scale(), 1.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ScreenScales, ResourceLookup, testing::Values(1.0, 2.0, 3.0));

} // namespace
