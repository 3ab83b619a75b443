// Every filter's input table read back through the public interface, and what building does with
// a value of the wrong kind, an unknown key and a value out of its range.
#include "ImageEngine/Support.h"

#include <Foundation/Log.h>
#include <ImageEngine/FilterNames.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace ImageEngine;
using namespace EngineTest;
using Graphics::Rect;

namespace {

// A value that is not of kind: a number for everything but numbers, a point for numbers.
FilterValue valueNotOfKind(InputKind kind) {
    return kind == InputKind::Number ? FilterValue{Vector::make(1, 2)} : FilterValue{3.0};
}

// The filter with every image input given a small photo, so that its output exists.
std::shared_ptr<Filter> filterWithImages(FilterName name, const ImagePtr& photo) {
    auto filter = Filter::create(name);
    for (const InputDeclaration& input : filter->inputs())
        if (input.kind == InputKind::Image)
            filter->setValue(input.key, photo);
    return filter;
}

TEST(FilterInputTable, EveryFilterDeclaresItsInputsWithDefaultsOfTheirKind) {
    const std::vector<FilterName> names = Filter::registeredNames();
    std::set<std::string> registered;
    for (FilterName name : names)
        registered.insert(name.text);
    for (FilterName name :
         {Filters::exposureAdjust, Filters::gammaAdjust, Filters::colorControls,
          Filters::colorCubeWithColorSpace, Filters::overlayBlendMode, Filters::blendWithMask,
          Filters::sourceOverCompositing, Filters::affineTransform, Filters::affineClamp, Filters::crop,
          Filters::gaussianBlur, Filters::radialGradient})
        EXPECT_TRUE(registered.count(name.text)) << name.text;

    for (FilterName name : names) {
        auto filter = Filter::create(name);
        ASSERT_TRUE(filter) << name.text;
        ASSERT_FALSE(filter->inputs().empty()) << name.text;
        std::set<std::string> keys;
        for (const InputDeclaration& input : filter->inputs()) {
            const std::string where = std::string(name.text) + " " + input.key.text;
            EXPECT_TRUE(keys.insert(input.key.text).second) << where << " declared twice";
            EXPECT_TRUE(isOfKind(input.defaultValue, input.kind)) << where;
            EXPECT_LE(input.range.minimum, input.range.maximum) << where;
            EXPECT_GT(std::string(input.meaning).size(), 0u) << where;
            // A new filter starts at its declared defaults.
            EXPECT_EQ(filter->value(input.key).index(), input.defaultValue.index()) << where;
            if (input.kind == InputKind::Number) {
                EXPECT_EQ(std::get<double>(filter->value(input.key)), std::get<double>(input.defaultValue))
                    << where;
            }
        }
    }

    // The ranges the tables give where a filter has one.
    auto rangeOf = [](FilterName name, InputKey key) {
        const auto filter = Filter::create(name);
        for (const InputDeclaration& input : filter->inputs())
            if (std::string(input.key.text) == key.text)
                return input.range;
        return InputRange{};
    };
    EXPECT_EQ(rangeOf(Filters::gaussianBlur, Inputs::radius).maximum, 100);
    EXPECT_EQ(rangeOf(Filters::colorCubeWithColorSpace, Inputs::cubeDimension).minimum, 2);
    EXPECT_TRUE(rangeOf(Filters::exposureAdjust, Inputs::ev).isUnbounded());
}

// A value of the wrong kind (or an unknown key) leaves the filter without output and says so in one
// line; giving the key a value it takes (or resetting it) brings the output back.
TEST(FilterInputTable, WrongKindsAndUnknownKeysAreRefusedWithOneLine) {
    const ImagePtr photo = imageOf(patternBitmap(6, 4));
    for (FilterName name : Filter::registeredNames()) {
        auto filter = filterWithImages(name, photo);
        // The colour cube needs a table of the right size before it has an output.
        if (std::string(name.text) == Filters::colorCubeWithColorSpace.text)
            filter->setValue(Inputs::cubeData,
                             std::make_shared<std::vector<std::uint8_t>>(2 * 2 * 2 * 4 * sizeof(float)));
        ASSERT_TRUE(filter->outputImage()) << name.text;
        for (const InputDeclaration& input : filter->inputs()) {
            const std::string where = std::string(name.text) + " " + input.key.text;
            const FilterValue before = filter->value(input.key);
            {
                Foundation::LogCapture capture;
                filter->setValue(input.key, valueNotOfKind(input.kind));
                EXPECT_EQ(capture.lines().size(), 1u) << where;
                EXPECT_TRUE(capture.contains(input.key.text)) << where;
                EXPECT_FALSE(filter->outputImage()) << where;
                EXPECT_EQ(capture.lines().size(), 1u) << where << ": building logged again";
            }
            EXPECT_EQ(filter->value(input.key).index(), before.index()) << where;
            filter->setValue(input.key, before);
            EXPECT_TRUE(filter->outputImage()) << where;
        }
        Foundation::LogCapture capture;
        filter->setValue("inputNoSuchKey", 1.0);
        EXPECT_EQ(capture.lines().size(), 1u) << name.text;
        EXPECT_FALSE(filter->outputImage()) << name.text;
    }
    // A rectangle where a point belongs is refused by its count; reset, the default is back.
    auto gradient = Filter::create(Filters::radialGradient);
    gradient->setValue(Inputs::center, Vector::make(1, 2, 3, 4));
    EXPECT_FALSE(gradient->outputImage());
    gradient->setValue(Inputs::center, std::monostate{});
    EXPECT_TRUE(gradient->outputImage());
}

// Values beyond a declared range are kept as given and reach the arithmetic: nothing clamps them.
TEST(FilterInputTable, ValuesOutOfRangePassThroughUnchanged) {
    const ImagePtr photo = imageOf(solidBitmap(4, 4, 40, 120, 200));
    auto gradient = Filter::create(Filters::radialGradient);
    const Color bright{2.5, -1, 0.5, 1};
    gradient->setValue(Inputs::color0, bright);
    const Color kept = std::get<Color>(gradient->value(Inputs::color0));
    EXPECT_EQ(kept.red, 2.5);
    EXPECT_EQ(kept.green, -1);
    ASSERT_TRUE(gradient->outputImage());

    // An exposure of 40 stops is far outside any photograph and still applied, not held at an edge:
    // every colour that is not black saturates.
    auto exposure = filterWithImages(Filters::exposureAdjust, photo);
    exposure->setValue(Inputs::ev, 40.0);
    EXPECT_EQ(std::get<double>(exposure->value(Inputs::ev)), 40.0);
    auto bright40 = render(exposure->outputImage(), Rect(0, 0, 4, 4));
    ASSERT_TRUE(bright40);
    EXPECT_EQ(bright40->row(0)[0], 255);
    EXPECT_EQ(bright40->row(0)[2], 255);

    // The cube's dimension beyond 2...64 gives no output, as its table says; the value is kept.
    auto cube = filterWithImages(Filters::colorCubeWithColorSpace, photo);
    cube->setValue(Inputs::cubeDimension, 65.0);
    EXPECT_EQ(std::get<double>(cube->value(Inputs::cubeDimension)), 65.0);
    Foundation::LogCapture capture;
    EXPECT_FALSE(cube->outputImage());
}

} // namespace
