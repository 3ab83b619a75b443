#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXScalarAdjustments.h>

// Vibrance, −1 … 1, neutral 0: a saturation change weighted towards muted colours. In linear light
// each colour's distance from its luma is scaled by 1 + value × (1 − s), where s = (max − min) / max
// of its channels, so greys and colours with a channel at 0 (the primaries, fully saturated) keep
// their colour, and a raise stops before any channel passes black or white. The neutral value leaves
// the image as it is; a value that is not finite leaves it unchanged with one log line per render,
// and finite values beyond ±10^4 are held there.
class RUX_API RUXVibranceTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXVibranceTransformation)
};
