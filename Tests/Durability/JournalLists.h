#pragma once

#include <Manager/RUXRecipe.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <memory>

namespace DurabilityTest {

// The i-th list the journal's kill test writes: each differs from the one before, and their
// documents differ in length too, so that a torn write could not pass for a whole one.
inline std::shared_ptr<const RUXRecipe> listRecipe(int i) {
    auto brightness = std::make_shared<RUXBrightnessTransformation>();
    brightness->setValue(float((i % 2000) - 1000) / 1000.0f);
    RUXTransformationList list{brightness};
    if (i % 2) {
        list.push_back(std::make_shared<RUXFilterTokyo>());
    }
    return RUXRecipe::createWithTransformations(list);
}

} // namespace DurabilityTest
