#include <Hosts/TouchScript.h>
#include <charconv>
#include <cmath>
#include <sstream>

namespace Hosts {

namespace {

struct Syntax {
    const char* name;
    TouchCommand::Kind kind;
    int required; // numeric arguments that must be given
    int optional; // numeric arguments that may follow
};

constexpr Syntax syntaxes[] = {
    {"tap", TouchCommand::Kind::Tap, 2, 0},       {"drag", TouchCommand::Kind::Drag, 4, 2},
    {"pinch", TouchCommand::Kind::Pinch, 4, 2},   {"hold", TouchCommand::Kind::Hold, 3, 0},
    {"down", TouchCommand::Kind::Down, 3, 0},     {"move", TouchCommand::Kind::Move, 3, 0},
    {"up", TouchCommand::Kind::Up, 1, 2},         {"cancel", TouchCommand::Kind::Cancel, 1, 0},
    {"wait", TouchCommand::Kind::Wait, 1, 0},     {"idle", TouchCommand::Kind::Idle, 0, 0},
    {"rotate", TouchCommand::Kind::Rotate, 0, 0}, {"screenshot", TouchCommand::Kind::Screenshot, 0, 0},
    {"key", TouchCommand::Kind::Key, 0, 0},       {"keydown", TouchCommand::Kind::KeyDown, 0, 0},
    {"keyup", TouchCommand::Kind::KeyUp, 0, 0},   {"drop", TouchCommand::Kind::Drop, 0, 0},
};

bool takesChord(TouchCommand::Kind kind) {
    return kind == TouchCommand::Kind::Key || kind == TouchCommand::Kind::KeyDown ||
           kind == TouchCommand::Kind::KeyUp;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

constexpr double defaultGestureSeconds = 0.3;
constexpr double defaultGestureSteps = 10;
constexpr double maxSteps = 1000;
const char* const orientations[] = {"portrait",        "upside-down", "landscape-left",
                                    "landscape-right", "face-up",     "face-down"};

std::optional<double> parseNumber(const std::string& word) {
    double value = 0;
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool failAtLine(std::string* error, int line, const std::string& message) {
    if (error)
        *error = "line " + std::to_string(line) + ": " + message;
    return false;
}

bool isWhole(double v) {
    return v == std::floor(v);
}

// Checks the arguments' meaning and fills in defaults.
bool finish(TouchCommand& command, std::string* error) {
    auto& n = command.numbers;
    switch (command.kind) {
    case TouchCommand::Kind::Drag:
    case TouchCommand::Kind::Pinch:
        if (n.size() < 5)
            n.push_back(defaultGestureSeconds);
        if (n.size() < 6)
            n.push_back(defaultGestureSteps);
        if (n[4] < 0)
            return failAtLine(error, command.line, "the duration must not be negative");
        if (!isWhole(n[5]) || n[5] < 1 || n[5] > maxSteps)
            return failAtLine(error, command.line, "the step count must be a whole number from 1 to 1000");
        if (command.kind == TouchCommand::Kind::Pinch && (n[2] < 0 || n[3] < 0))
            return failAtLine(error, command.line, "the finger distances must not be negative");
        return true;
    case TouchCommand::Kind::Hold:
        if (n[2] < 0)
            return failAtLine(error, command.line, "the duration must not be negative");
        return true;
    case TouchCommand::Kind::Wait:
        if (n[0] < 0)
            return failAtLine(error, command.line, "the duration must not be negative");
        return true;
    case TouchCommand::Kind::Down:
    case TouchCommand::Kind::Move:
    case TouchCommand::Kind::Up:
    case TouchCommand::Kind::Cancel:
        if (!isWhole(n[0]) || std::abs(n[0]) > 1e6)
            return failAtLine(error, command.line, "the finger id must be a whole number");
        if (command.kind == TouchCommand::Kind::Up) {
            if (n.size() == 2)
                return failAtLine(error, command.line, "up takes a finger id and optionally both X and Y");
            if (n.size() == 3) {
                command.at = Graphics::Point{n[1], n[2]};
                n.resize(1);
            }
        }
        return true;
    default:
        return true;
    }
}

} // namespace

std::optional<TouchScript> parseTouchScript(const std::string& text, std::string* error) {
    TouchScript script;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> args;
        for (std::string word; words >> word;)
            args.push_back(word);
        if (args.empty())
            continue;

        const Syntax* syntax = nullptr;
        for (const Syntax& s : syntaxes)
            if (args[0] == s.name)
                syntax = &s;
        if (!syntax) {
            failAtLine(error, number, "unknown command \"" + args[0] + "\"");
            return std::nullopt;
        }
        TouchCommand command;
        command.kind = syntax->kind;
        command.line = number;
        const int given = static_cast<int>(args.size()) - 1;

        if (syntax->kind == TouchCommand::Kind::Drop) {
            command.text = trimmed(trimmed(line).substr(args[0].size()));
            if (command.text.empty()) {
                failAtLine(error, number, "drop takes a path");
                return std::nullopt;
            }
            script.commands.push_back(std::move(command));
            continue;
        }
        if (takesChord(syntax->kind)) {
            std::optional<KeyChord> chord = given == 1 ? parseKeyChord(args[1]) : std::nullopt;
            if (!chord) {
                failAtLine(error, number,
                           given == 1 ? "unknown key \"" + args[1] + "\""
                                      : std::string(syntax->name) + " takes one key");
                return std::nullopt;
            }
            command.chord = std::move(*chord);
            script.commands.push_back(std::move(command));
            continue;
        }

        if (syntax->kind == TouchCommand::Kind::Screenshot || syntax->kind == TouchCommand::Kind::Rotate) {
            if (given != 1) {
                failAtLine(error, number, std::string(syntax->name) + " takes one argument");
                return std::nullopt;
            }
            command.text = args[1];
            if (syntax->kind == TouchCommand::Kind::Rotate) {
                bool known = false;
                for (const char* o : orientations)
                    known = known || command.text == o;
                if (!known) {
                    failAtLine(error, number, "unknown orientation \"" + command.text + "\"");
                    return std::nullopt;
                }
            }
            script.commands.push_back(std::move(command));
            continue;
        }

        if (given < syntax->required || given > syntax->required + syntax->optional) {
            std::string expected = std::to_string(syntax->required);
            if (syntax->optional)
                expected += " to " + std::to_string(syntax->required + syntax->optional);
            failAtLine(error, number,
                       std::string(syntax->name) + " takes " + expected + " numbers, not " +
                           std::to_string(given));
            return std::nullopt;
        }
        for (int i = 1; i <= given; ++i) {
            const std::optional<double> value = parseNumber(args[i]);
            if (!value) {
                failAtLine(error, number, "\"" + args[i] + "\" is not a number");
                return std::nullopt;
            }
            command.numbers.push_back(*value);
        }
        if (!finish(command, error))
            return std::nullopt;
        script.commands.push_back(std::move(command));
    }
    return script;
}

} // namespace Hosts
