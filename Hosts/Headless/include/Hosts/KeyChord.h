#pragma once

#include <Foundation/Export.h>
#include <optional>
#include <string>
#include <string_view>

namespace Hosts {

// A key with the modifiers held while it went down, as both hosts report it: "ctrl+shift+z",
// "escape", "left". Key names are lower case: a letter or digit, or one of escape, enter,
// space, tab, backspace, delete, left, right, up, down.
struct RUX_API KeyChord {
    std::string key;
    bool ctrl = false;
    bool shift = false;
    bool alt = false;

    // The canonical spelling, modifiers first in the order ctrl, shift, alt.
    std::string name() const;
    bool operator==(const KeyChord&) const = default;
};

// Pressed is the first key-down, Repeated what the keyboard sends while the key stays down,
// Released the key-up.
enum class KeyPhase { Pressed, Repeated, Released };

// Parses a chord written as modifiers and a key joined by '+' (case does not matter; "control",
// "esc" and "return" are accepted as well). Nothing for an unknown key or modifier, a repeated
// modifier or an empty part. Any thread.
RUX_API std::optional<KeyChord> parseKeyChord(std::string_view text);

} // namespace Hosts
