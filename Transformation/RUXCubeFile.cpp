#include <Transformation/RUXCubeFile.h>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

namespace {

using Triple = std::array<double, 3>;

struct Cursor {
    std::string_view rest;
    std::size_t lineNumber = 0;
};

std::string_view trim(std::string_view s) {
    const char* space = " \t\r\f\v";
    std::size_t first = s.find_first_not_of(space);
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(space) - first + 1);
}

std::vector<std::string_view> tokens(std::string_view s) {
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) {
            ++i;
        }
        std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') {
            ++i;
        }
        if (i > start) {
            result.push_back(s.substr(start, i - start));
        }
    }
    return result;
}

std::string at(std::size_t line) {
    return "line " + std::to_string(line) + ": ";
}

// A number as C's locale-free parser reads it, which must also fit a float: the engine computes
// in single precision, where a larger value is infinite.
std::optional<double> number(std::string_view token) {
    double value = 0;
    const char* first = token.data();
    if (!token.empty() && token.front() == '+') {
        ++first;
    }
    auto [end, code] = std::from_chars(first, token.data() + token.size(), value);
    if (code != std::errc() || end != token.data() + token.size() || !std::isfinite(value) ||
        !std::isfinite(static_cast<float>(value))) {
        return std::nullopt;
    }
    return value;
}

std::optional<Triple> triple(const std::vector<std::string_view>& words, std::size_t first, std::size_t line,
                             std::string& error) {
    if (words.size() != first + 3) {
        error = at(line) + "expected three numbers";
        return std::nullopt;
    }
    Triple t{};
    for (std::size_t i = 0; i < 3; ++i) {
        auto v = number(words[first + i]);
        if (!v) {
            error = at(line) + "'" + std::string(words[first + i]) + "' is not a finite number";
            return std::nullopt;
        }
        t[i] = *v;
    }
    return t;
}

// The table's value at a point of its own grid coordinates (0 … n − 1 on each axis), trilinear.
Triple sample(const std::vector<float>& rgb, int n, const Triple& position) {
    std::array<int, 3> low{};
    std::array<double, 3> fraction{};
    for (int axis = 0; axis < 3; ++axis) {
        double p = std::clamp(position[axis], 0.0, double(n - 1));
        low[axis] = std::min(int(p), n - 2);
        fraction[axis] = p - low[axis];
    }
    Triple out{};
    for (int corner = 0; corner < 8; ++corner) {
        double weight = 1;
        std::size_t index = 0, stride = 1;
        for (int axis = 0; axis < 3; ++axis) {
            const int step = (corner >> axis) & 1;
            weight *= step ? fraction[axis] : 1 - fraction[axis];
            index += std::size_t(low[axis] + step) * stride;
            stride *= std::size_t(n);
        }
        for (int c = 0; c < 3; ++c) {
            out[c] += weight * rgb[index * 3 + c];
        }
    }
    return out;
}

} // namespace

std::shared_ptr<const RUXCubeLookupTable> RUXParseCubeFile(std::string_view text, std::string& error) {
    if (text.size() > kRUXCubeFileMaxBytes) {
        error = "the file is larger than " + std::to_string(kRUXCubeFileMaxBytes >> 20) + " MB";
        return nullptr;
    }
    std::string title;
    int dimension = 0;
    Triple domainMin{0, 0, 0}, domainMax{1, 1, 1};
    bool titleSeen = false, domainMinSeen = false, domainMaxSeen = false;
    std::vector<float> rgb;
    std::size_t expected = 0, line = 0;

    std::size_t position = 0;
    while (position <= text.size()) {
        std::size_t end = text.find('\n', position);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view raw = text.substr(position, end - position);
        position = end + 1;
        ++line;
        std::string_view content = trim(raw);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        const char first = content.front();
        // Keywords are upper case; a lower-case word starts a data line ("nan", "inf"), which the
        // number check then refuses by name.
        const bool keyword = (first >= 'A' && first <= 'Z') || first == '_';
        if (!keyword) {
            // A data line: three numbers, perhaps followed by a comment.
            if (dimension == 0) {
                error = at(line) + "numbers before LUT_3D_SIZE";
                return nullptr;
            }
            if (rgb.size() / 3 == expected) {
                error = at(line) + "more than the " + std::to_string(expected) + " entries LUT_3D_SIZE " +
                        std::to_string(dimension) + " declares";
                return nullptr;
            }
            std::string_view values = trim(content.substr(0, content.find('#')));
            auto entry = triple(tokens(values), 0, line, error);
            if (!entry) {
                return nullptr;
            }
            for (double v : *entry) {
                rgb.push_back(static_cast<float>(v));
            }
            continue;
        }
        if (!rgb.empty()) {
            error = at(line) + "a keyword after the table's numbers";
            return nullptr;
        }
        std::vector<std::string_view> words = tokens(content);
        const std::string_view name = words.front();
        if (name != "TITLE") {
            // A title may hold '#'; anywhere else it starts a comment.
            words = tokens(content.substr(0, content.find('#')));
        }
        if (name == "TITLE") {
            if (titleSeen) {
                error = at(line) + "a second TITLE";
                return nullptr;
            }
            titleSeen = true;
            std::string_view value = trim(content.substr(name.size()));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            title = std::string(value);
        } else if (name == "LUT_3D_SIZE") {
            if (dimension != 0) {
                error = at(line) + "a second LUT_3D_SIZE";
                return nullptr;
            }
            auto size = words.size() == 2 ? number(words[1]) : std::nullopt;
            if (!size || *size != std::floor(*size) || *size < kRUXCubeMinDimension ||
                *size > kRUXCubeMaxDimension) {
                error = at(line) + "LUT_3D_SIZE must be a whole number from " +
                        std::to_string(kRUXCubeMinDimension) + " to " + std::to_string(kRUXCubeMaxDimension);
                return nullptr;
            }
            dimension = int(*size);
            expected = std::size_t(dimension) * dimension * dimension;
            rgb.reserve(expected * 3);
        } else if (name == "LUT_1D_SIZE" || name == "LUT_1D_INPUT_RANGE") {
            error = at(line) + "one-dimensional tables are not supported; only 3D looks (LUT_3D_SIZE)";
            return nullptr;
        } else if (name == "DOMAIN_MIN" || name == "DOMAIN_MAX") {
            bool& seen = name == "DOMAIN_MIN" ? domainMinSeen : domainMaxSeen;
            if (seen) {
                error = at(line) + "a second " + std::string(name);
                return nullptr;
            }
            seen = true;
            auto value = triple(words, 1, line, error);
            if (!value) {
                return nullptr;
            }
            (name == "DOMAIN_MIN" ? domainMin : domainMax) = *value;
        } else if (name == "LUT_3D_INPUT_RANGE") {
            if (domainMinSeen || domainMaxSeen) {
                error = at(line) + "a second input domain";
                return nullptr;
            }
            domainMinSeen = domainMaxSeen = true;
            auto low = words.size() == 3 ? number(words[1]) : std::nullopt;
            auto high = words.size() == 3 ? number(words[2]) : std::nullopt;
            if (!low || !high) {
                error = at(line) + "LUT_3D_INPUT_RANGE takes two finite numbers";
                return nullptr;
            }
            domainMin = {*low, *low, *low};
            domainMax = {*high, *high, *high};
        } else {
            error = at(line) + "unknown keyword '" + std::string(name) + "'";
            return nullptr;
        }
    }
    if (dimension == 0) {
        error = "no LUT_3D_SIZE";
        return nullptr;
    }
    if (rgb.size() / 3 != expected) {
        error = "LUT_3D_SIZE " + std::to_string(dimension) + " needs " + std::to_string(expected) +
                " entries but the file has " + std::to_string(rgb.size() / 3);
        return nullptr;
    }
    for (int c = 0; c < 3; ++c) {
        if (!(domainMin[c] < domainMax[c])) {
            error = "the domain's minimum must lie below its maximum on every channel";
            return nullptr;
        }
    }

    auto out = std::make_shared<std::vector<std::uint8_t>>(expected * 4 * sizeof(float));
    auto* entries = reinterpret_cast<float*>(out->data());
    const bool unitDomain = domainMin == Triple{0, 0, 0} && domainMax == Triple{1, 1, 1};
    const int n = dimension;
    std::size_t index = 0;
    for (int b = 0; b < n; ++b) {
        for (int g = 0; g < n; ++g) {
            for (int r = 0; r < n; ++r, ++index) {
                Triple value;
                if (unitDomain) {
                    value = {rgb[index * 3], rgb[index * 3 + 1], rgb[index * 3 + 2]};
                } else {
                    // Where this node of the unit cube falls in the file's domain, in grid units.
                    const std::array<int, 3> node{r, g, b};
                    Triple grid{};
                    for (int c = 0; c < 3; ++c) {
                        const double x = double(node[c]) / (n - 1);
                        grid[c] = (x - domainMin[c]) / (domainMax[c] - domainMin[c]) * (n - 1);
                    }
                    value = sample(rgb, n, grid);
                }
                float* entry = entries + index * 4;
                entry[0] = float(value[0]);
                entry[1] = float(value[1]);
                entry[2] = float(value[2]);
                entry[3] = 1.0f;
            }
        }
    }
    auto table = std::make_shared<RUXCubeLookupTable>();
    table->title = std::move(title);
    table->dimension = dimension;
    table->data = std::move(out);
    return table;
}

std::shared_ptr<const RUXCubeLookupTable> RUXLoadCubeFile(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return nullptr;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size < 0 || std::uint64_t(size) > kRUXCubeFileMaxBytes) {
        error = path + ": " +
                (size < 0 ? "cannot read it"
                          : "larger than " + std::to_string(kRUXCubeFileMaxBytes >> 20) + " MB");
        return nullptr;
    }
    std::string text(std::size_t(size), '\0');
    file.read(text.data(), size);
    if (file.gcount() != size) {
        error = "cannot read " + path;
        return nullptr;
    }
    auto table = RUXParseCubeFile(text, error);
    if (!table) {
        error = path + ": " + error;
    }
    return table;
}
