#include <Hosts/KeyChord.h>
#include <algorithm>
#include <cctype>

namespace Hosts {

namespace {

constexpr std::string_view namedKeys[] = {"escape", "enter", "space", "tab", "backspace",
                                          "delete", "left",  "right", "up",  "down"};

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<std::string> keyNamed(const std::string& word) {
    if (word.size() == 1 && std::isalnum(static_cast<unsigned char>(word[0])))
        return word;
    if (word == "esc")
        return "escape";
    if (word == "return")
        return "enter";
    for (std::string_view key : namedKeys)
        if (word == key)
            return word;
    return std::nullopt;
}

} // namespace

std::string KeyChord::name() const {
    std::string out;
    if (ctrl)
        out += "ctrl+";
    if (shift)
        out += "shift+";
    if (alt)
        out += "alt+";
    return out + key;
}

std::optional<KeyChord> parseKeyChord(std::string_view text) {
    KeyChord chord;
    for (;;) {
        const std::size_t plus = text.find('+');
        const std::string word = lowered(text.substr(0, plus));
        if (word.empty())
            return std::nullopt;
        if (plus == std::string_view::npos) {
            std::optional<std::string> key = keyNamed(word);
            if (!key)
                return std::nullopt;
            chord.key = std::move(*key);
            return chord;
        }
        bool* modifier = word == "ctrl" || word == "control" ? &chord.ctrl
                         : word == "shift"                   ? &chord.shift
                         : word == "alt"                     ? &chord.alt
                                                             : nullptr;
        if (!modifier || *modifier)
            return std::nullopt;
        *modifier = true;
        text.remove_prefix(plus + 1);
    }
}

} // namespace Hosts
