// Every name the editor asks for resolves through its own lookup, at each screen scale, with the same size
// in points: what a button or a look actually gets.
#include "Icons.h"
#include "Looks.h"
#include "Overlays.h"

#include <Foundation/Bundle.h>
#include <Graphics/BitmapImage.h>
#include <Support/GlobalStateGuards.h>
#include <Support/ScreenScaleGuard.h>
#include <Utility/RUXImageUtility.h>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

using namespace ResourceArt;

class ResourceLookup : public testing::TestWithParam<double> {
private:
    TestSupport::MainScreenScale m_screenScale{GetParam()};
    TestSupport::MainBundlePath m_resources{RUX_RESOURCES_DIR};
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
            EXPECT_EQ(image->scale(), std::min(3.0, std::ceil(scale))) << name;
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

// Every name the editor's screens and looks ask for, written out here rather than taken from the
// generator, so that a resource the generator forgot shows up as missing.
TEST_P(ResourceLookup, EveryNameTheEditorLoadsResolves) {
    std::istringstream names(
        "ic_arrow_back ic_filter_back ic_filter_back_disable ic_filter_next "
        "ic_filter_next_disable ic_crop ic_brightness ic_saturation ic_contrast ic_blur ic_rotate "
        "ic_crop_pressdown ic_brightness_pressdown ic_saturation_pressdown ic_contrast_pressdown "
        "ic_blur_pressdown ic_rotate_pressdown ic_control_done ic_control_cancel "
        "ic_control_centre ic_control_drag ic_rotate_left ic_rotate_right ic_flip_v ic_flip_h "
        "ic_rotate_left_pressdown ic_rotate_right_pressdown ic_flip_v_pressdown "
        "ic_flip_h_pressdown lut_aden_map lut_caprice_map lut_crema_map lut_custom_map "
        "lut_instant_map lut_juno_map lut_lark_map lut_ludwig_map lut_pro_map lut_reyes_map "
        "lut_slumber_map lut_tokyo_map lut_valencia_map lut_vivid_map overlay_caprice_darkcorner "
        "overlay_instant_darkcorner overlay_pro_darkcorner overlay_tokyo_darkcorner "
        "overlay_vivid_darkcorner");
    for (std::string name; names >> name;) {
        const auto image = RUXGetImage(name);
        ASSERT_TRUE(image) << name;
        EXPECT_TRUE(image->bitmap()) << name;
        EXPECT_EQ(RUXGetImage(name + ".png")->bitmap()->width(), image->bitmap()->width()) << name;
    }
    // "circle" lives beside the code, not in the resource bundle.
    EXPECT_EQ(RUXGetImage("circle"), nullptr);
    const auto circle = RUXImageFromBundle(RUX_RESOURCES_DIR, "circle", "png");
    ASSERT_TRUE(circle);
    EXPECT_EQ(circle->size().width, 100);
    EXPECT_EQ(circle->scale(), std::min(3.0, std::ceil(GetParam())));
}

// Between whole scales (a zoomed window) the next larger variant is drawn smaller; past 3 the largest.
INSTANTIATE_TEST_SUITE_P(ScreenScales, ResourceLookup, testing::Values(1.0, 1.49, 2.0, 2.5, 3.0, 4.0));

} // namespace
