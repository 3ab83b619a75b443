#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXScalarAdjustments.h>

// Exposure in stops, −5 … 5, neutral 0: the linear colour is scaled by 2^value. The neutral value
// leaves the image as it is; a value that is not finite leaves it unchanged with one log line per
// render, and finite values beyond ±64 stops are held there.
class RUX_API RUXExposureTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXExposureTransformation)
};
