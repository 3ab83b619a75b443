#pragma once

#include <Utility/RUXImageUtility.h>

// The colour of a 0xRRGGBB code, offered to hosts beside RUXColorWithHexCode (identical).
// Any thread.
inline Graphics::Color rux_colorWithCode(std::int32_t code) {
    return RUXColorWithHexCode(code);
}
