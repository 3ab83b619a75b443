// The scale the window host picks for a display: sharp (the display's own pixels per point) and
// as large as a whole zoom allows while the window still fits.
#include <Hosts/WindowHost.h>
#include <gtest/gtest.h>

namespace {

struct ScaleCase {
    const char* name;
    Hosts::DisplayRoom display;
    double scale;
};

class WindowScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(WindowScale, IsTheDisplaysScaleTimesTheLargestZoomThatFits) {
    EXPECT_NEAR(Hosts::fittingWindowScale(GetParam().display, {375, 667}), GetParam().scale, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Displays, WindowScale,
    ::testing::Values(
        // A phone layout 667 points tall needs 1334 pixels at zoom 2, plus room for the frame.
        ScaleCase{"FullHd", {1, {1920, 1040}}, 1}, ScaleCase{"Qhd", {1, {2560, 1400}}, 1},
        ScaleCase{"FourK", {1, {3840, 2120}}, 2}, ScaleCase{"FourKAtScale2", {2, {3840, 2120}}, 2},
        ScaleCase{"FiveKAtScale2", {2, {5120, 2840}}, 2}, ScaleCase{"TallQhdAtScale2", {2, {1440, 2900}}, 2},
        ScaleCase{"Landscape8K", {1, {7680, 4280}}, 5},
        // Too small even at zoom 1: shrink just enough to fit.
        ScaleCase{"SmallLaptop", {1, {1366, 600}}, 600 * 0.92 / 667},
        ScaleCase{"SmallAtScale2", {2, {1366, 1200}}, 1200 * 0.92 / 667},
        ScaleCase{"NoRoomReported", {2, {0, 0}}, 1}, ScaleCase{"NonsenseRatio", {-1, {1920, 1080}}, 1},
        ScaleCase{"Tiny", {1, {100, 100}}, 0.25}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
