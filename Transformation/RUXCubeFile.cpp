#include <Transformation/RUXCubeFile.h>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <tuple>
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

// A three-dimensional table's value at a point of its own grid coordinates (0 … n − 1 on each
// axis), trilinear in double; rgb holds n³ entries of three, red fastest.
Triple sample(const float* rgb, int n, const Triple& position) {
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

// One channel of a one-dimensional table of n entries of three at a grid position, linear.
double sample1D(const float* rgb, int n, int channel, double position) {
    const double p = std::clamp(position, 0.0, double(n - 1));
    const int low = std::min(int(p), n - 2);
    const double fraction = p - low;
    return rgb[low * 3 + channel] * (1 - fraction) + rgb[(low + 1) * 3 + channel] * fraction;
}

// Where x of the unit domain falls on an axis of n points spanning low … high, in grid units.
double gridPosition(double x, double low, double high, int n) {
    return (x - low) / (high - low) * (n - 1);
}

struct Domain {
    Triple low{0, 0, 0}, high{1, 1, 1};
    bool isUnit() const { return low == Triple{0, 0, 0} && high == Triple{1, 1, 1}; }
};

// The table sizes a file declares, as its error messages name them.
std::string declared(int size1D, int size3D) {
    std::string text;
    if (size1D != 0) {
        text = "LUT_1D_SIZE " + std::to_string(size1D);
    }
    if (size3D != 0) {
        text += (text.empty() ? "" : " and ") + std::string("LUT_3D_SIZE ") + std::to_string(size3D);
    }
    return text;
}

std::optional<int> tableSize(const std::vector<std::string_view>& words, int largest, std::size_t line,
                             std::string& error) {
    auto size = words.size() == 2 ? number(words[1]) : std::nullopt;
    if (!size || *size != std::floor(*size) || *size < kRUXCubeMinDimension || *size > largest) {
        error = at(line) + std::string(words.front()) + " must be a whole number from " +
                std::to_string(kRUXCubeMinDimension) + " to " + std::to_string(largest);
        return std::nullopt;
    }
    return int(*size);
}

} // namespace

std::shared_ptr<const RUXCubeLookupTable> RUXParseCubeFile(std::string_view text, std::string& error) {
    if (text.size() > kRUXCubeFileMaxBytes) {
        error = "the file is larger than " + std::to_string(kRUXCubeFileMaxBytes >> 20) + " MB";
        return nullptr;
    }
    std::string title;
    int size1D = 0, size3D = 0;
    // DOMAIN_MIN/DOMAIN_MAX give the domain of the table the file's input meets first (the
    // one-dimensional one when there is one); LUT_1D_INPUT_RANGE and LUT_3D_INPUT_RANGE each name
    // their own table's.
    Domain domain, range1D, range3D;
    bool titleSeen = false, domainMinSeen = false, domainMaxSeen = false, range1DSeen = false,
         range3DSeen = false;
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
            // A data line: three numbers, perhaps followed by a comment. The one-dimensional
            // table's entries come first, then the three-dimensional one's.
            if (expected == 0) {
                error = at(line) + "numbers before LUT_1D_SIZE or LUT_3D_SIZE";
                return nullptr;
            }
            if (rgb.size() / 3 == expected) {
                error = at(line) + "more than the " + std::to_string(expected) + " entries " +
                        declared(size1D, size3D) + (size1D && size3D ? " declare" : " declares");
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
        } else if (name == "LUT_3D_SIZE" || name == "LUT_1D_SIZE") {
            const bool is3D = name == "LUT_3D_SIZE";
            int& size = is3D ? size3D : size1D;
            if (size != 0) {
                error = at(line) + "a second " + std::string(name);
                return nullptr;
            }
            auto value =
                tableSize(words, is3D ? kRUXCubeFileMaxDimension : kRUXCubeFileMax1DSize, line, error);
            if (!value) {
                return nullptr;
            }
            size = *value;
            expected = std::size_t(size1D) + std::size_t(size3D) * size3D * size3D;
            // Every entry takes at least six characters, so the text bounds what is worth reserving.
            rgb.reserve(std::min(expected, text.size() / 6 + 1) * 3);
        } else if (name == "DOMAIN_MIN" || name == "DOMAIN_MAX") {
            bool& seen = name == "DOMAIN_MIN" ? domainMinSeen : domainMaxSeen;
            if (seen) {
                error = at(line) + "a second " + std::string(name);
                return nullptr;
            }
            if (range1DSeen || range3DSeen) {
                error = at(line) + "a second input domain";
                return nullptr;
            }
            seen = true;
            auto value = triple(words, 1, line, error);
            if (!value) {
                return nullptr;
            }
            (name == "DOMAIN_MIN" ? domain.low : domain.high) = *value;
        } else if (name == "LUT_3D_INPUT_RANGE" || name == "LUT_1D_INPUT_RANGE") {
            const bool is3D = name == "LUT_3D_INPUT_RANGE";
            bool& seen = is3D ? range3DSeen : range1DSeen;
            if (seen || domainMinSeen || domainMaxSeen) {
                error = at(line) + "a second input domain";
                return nullptr;
            }
            seen = true;
            auto low = words.size() == 3 ? number(words[1]) : std::nullopt;
            auto high = words.size() == 3 ? number(words[2]) : std::nullopt;
            if (!low || !high) {
                error = at(line) + std::string(name) + " takes two finite numbers";
                return nullptr;
            }
            (is3D ? range3D : range1D) = {{*low, *low, *low}, {*high, *high, *high}};
        } else {
            error = at(line) + "unknown keyword '" + std::string(name) + "'";
            return nullptr;
        }
    }
    if (expected == 0) {
        error = "no LUT_1D_SIZE or LUT_3D_SIZE";
        return nullptr;
    }
    if (rgb.size() / 3 != expected) {
        error = declared(size1D, size3D) + (size1D && size3D ? " need " : " needs ") +
                std::to_string(expected) + " entries but the file has " + std::to_string(rgb.size() / 3);
        return nullptr;
    }
    for (const auto& [seen, name, size] : {std::tuple{range1DSeen, "LUT_1D_INPUT_RANGE", size1D},
                                           std::tuple{range3DSeen, "LUT_3D_INPUT_RANGE", size3D}}) {
        if (seen && size == 0) {
            error = std::string(name) + " for a table the file does not have";
            return nullptr;
        }
    }
    const bool generic = domainMinSeen || domainMaxSeen;
    const Domain domain1D = generic ? domain : range1D;
    const Domain domain3D = generic && size1D == 0 ? domain : range3D;
    for (const Domain* d : {&domain1D, &domain3D}) {
        for (int c = 0; c < 3; ++c) {
            if (!(d->low[c] < d->high[c])) {
                error = "the domain's minimum must lie below its maximum on every channel";
                return nullptr;
            }
        }
    }

    // The engine's cube spans the unit cube at no more than kRUXCubeMaxDimension points a side.
    // A plain table over the unit domain that fits is taken as it is; anything else is sampled
    // onto such a cube: a one-dimensional table (linear per channel) at its own size up to that
    // limit, a larger or offset three-dimensional one (trilinear) at its size up to the limit, and
    // a shaper followed by a three-dimensional table composed into one cube of the largest size.
    const float* oneD = rgb.data();
    const float* threeD = rgb.data() + std::size_t(size1D) * 3;
    const int n =
        size1D && size3D ? kRUXCubeMaxDimension : std::min(size3D ? size3D : size1D, kRUXCubeMaxDimension);
    const bool asItIs = size1D == 0 && size3D == n && domain3D.isUnit();
    const std::size_t count = std::size_t(n) * n * n;
    auto out = std::make_shared<std::vector<std::uint8_t>>(count * 4 * sizeof(float));
    auto* entries = reinterpret_cast<float*>(out->data());
    std::size_t index = 0;
    for (int b = 0; b < n; ++b) {
        for (int g = 0; g < n; ++g) {
            for (int r = 0; r < n; ++r, ++index) {
                Triple value;
                if (asItIs) {
                    value = {threeD[index * 3], threeD[index * 3 + 1], threeD[index * 3 + 2]};
                } else {
                    const std::array<int, 3> node{r, g, b};
                    for (int c = 0; c < 3; ++c) {
                        value[c] = double(node[c]) / (n - 1);
                    }
                    if (size1D != 0) {
                        for (int c = 0; c < 3; ++c) {
                            value[c] =
                                sample1D(oneD, size1D, c,
                                         gridPosition(value[c], domain1D.low[c], domain1D.high[c], size1D));
                        }
                    }
                    if (size3D != 0) {
                        Triple grid{};
                        for (int c = 0; c < 3; ++c) {
                            grid[c] = gridPosition(value[c], domain3D.low[c], domain3D.high[c], size3D);
                        }
                        value = sample(threeD, size3D, grid);
                    }
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
    table->dimension = n;
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
