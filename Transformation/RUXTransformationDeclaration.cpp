#include <Transformation/RUXTransformationDeclaration.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

std::optional<double> parseNumber(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<double>> commaSeparatedNumbers(std::string_view text) {
    std::vector<double> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        auto value = parseNumber(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
        if (comma == std::string_view::npos) {
            return values;
        }
        start = comma + 1;
    }
}

constexpr std::string_view kSpaces = " \t";

std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t start = text.find_first_not_of(kSpaces);
    while (start != std::string_view::npos) {
        const std::size_t end = text.find_first_of(kSpaces, start);
        words.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        start = end == std::string_view::npos ? end : text.find_first_not_of(kSpaces, end);
    }
    return words;
}

// The numbers a flag of parameter takes at least and at most.
std::pair<std::size_t, std::size_t> flagCounts(const RUXTransformationDeclaration* declaration,
                                               const RUXParameter& parameter) {
    if (parameter.kind == RUXParameterKind::Group) {
        std::size_t least = 0, most = 0;
        for (std::size_t i = 0; i < parameter.members.size(); ++i) {
            const RUXParameter* member = declaration ? declaration->parameter(parameter.members[i]) : nullptr;
            const std::size_t n = member ? member->count() : 1;
            most += n;
            if (i < parameter.requiredMembers) {
                least += n;
            }
        }
        return {least, most};
    }
    if (parameter.kind == RUXParameterKind::PointList) {
        return {2, SIZE_MAX};
    }
    return {parameter.count(), parameter.count()};
}

// Single precision, as scalar edits store their values and ranges, so that a value read back from
// a slider lands on the same float.
float span(const RUXParameter& p) {
    return float(p.maxValue) - float(p.minValue);
}

double mired(double kelvin) {
    return kelvin != 0 ? 1e6 / kelvin : 0;
}

} // namespace

std::size_t RUXParameter::count() const {
    switch (kind) {
    case RUXParameterKind::Scalar:
    case RUXParameterKind::Sign:
        return 1;
    case RUXParameterKind::Point:
        return 2;
    case RUXParameterKind::Rectangle:
        return 4;
    case RUXParameterKind::Matrix:
        return 6;
    case RUXParameterKind::PointList:
    case RUXParameterKind::LookReference:
    case RUXParameterKind::Group:
        break;
    }
    return 0;
}

const RUXParameter* RUXTransformationDeclaration::parameter(std::string_view key) const {
    for (const RUXParameter& p : parameters) {
        if (!p.key.empty() && p.key == key) {
            return &p;
        }
    }
    return nullptr;
}

const RUXParameter* RUXTransformationDeclaration::parameterWithFlag(std::string_view flag) const {
    for (const RUXParameter& p : parameters) {
        if (!p.flag.empty() && p.flag == flag) {
            return &p;
        }
    }
    return nullptr;
}

RUXTransformationDeclaration RUXLookDeclaration(const RUXClass& lookClass) {
    RUXTransformationDeclaration declaration;
    declaration.transformationClass = &lookClass;
    declaration.type = RUXTransformationTypeFilter;
    declaration.sortOrder = 3.0;
    declaration.family = RUXEditFamily::Look;
    return declaration;
}

std::optional<std::vector<double>> RUXParseFlagValue(const RUXTransformationDeclaration& declaration,
                                                     const RUXParameter& parameter, std::string_view text) {
    std::vector<double> values;
    if (parameter.kind == RUXParameterKind::PointList &&
        text.find_first_of(kSpaces) != std::string_view::npos) {
        // Points written as "X,Y X,Y …": each word is one pair.
        for (std::string_view word : wordsOf(text)) {
            auto pair = commaSeparatedNumbers(word);
            if (!pair || pair->size() != 2) {
                return std::nullopt;
            }
            values.insert(values.end(), pair->begin(), pair->end());
        }
    } else if (auto numbers = commaSeparatedNumbers(text)) {
        values = std::move(*numbers);
    } else {
        return std::nullopt;
    }
    const auto [least, most] = flagCounts(&declaration, parameter);
    if (values.size() < least || values.size() > most ||
        (parameter.kind == RUXParameterKind::PointList && values.size() % 2 != 0)) {
        return std::nullopt;
    }
    if (parameter.kind == RUXParameterKind::Sign && values[0] != 1 && values[0] != -1) {
        return std::nullopt;
    }
    if (parameter.flagAccepts && !parameter.flagAccepts(values)) {
        return std::nullopt;
    }
    return values;
}

bool RUXApplyFlagValue(const RUXTransformationDeclaration& declaration, const RUXParameter& parameter,
                       RUXImageTransformation& transformation, const std::vector<double>& numbers) {
    const auto [least, most] = flagCounts(&declaration, parameter);
    if (numbers.size() < least || numbers.size() > most ||
        (parameter.kind == RUXParameterKind::PointList && numbers.size() % 2 != 0)) {
        return false;
    }
    if (parameter.kind != RUXParameterKind::Group) {
        if (!parameter.set) {
            return false;
        }
        parameter.set(transformation, {numbers, {}});
        return true;
    }
    // Only whole members are filled; a member left off keeps its value.
    std::size_t next = 0;
    std::vector<std::pair<const RUXParameter*, std::vector<double>>> filled;
    for (const std::string& key : parameter.members) {
        const RUXParameter* member = declaration.parameter(key);
        if (!member || !member->set || next >= numbers.size()) {
            break;
        }
        const std::size_t n = member->count();
        if (n == 0 || next + n > numbers.size()) {
            return false;
        }
        filled.emplace_back(
            member, std::vector<double>(numbers.begin() + long(next), numbers.begin() + long(next + n)));
        next += n;
    }
    if (next != numbers.size()) {
        return false;
    }
    for (const auto& [member, values] : filled) {
        member->set(transformation, {values, {}});
    }
    return true;
}

namespace {

double valueAtSliderFraction(const RUXParameter& p, double fraction) {
    switch (p.mapping) {
    case RUXSliderMapping::Linear:
        return fraction * double(span(p)) + double(float(p.minValue));
    case RUXSliderMapping::Centred:
        if (fraction < 0.5) {
            return p.minValue + (p.neutralValue - p.minValue) * (fraction * 2);
        }
        return p.neutralValue + (p.maxValue - p.neutralValue) * (fraction * 2 - 1);
    case RUXSliderMapping::Mired: {
        const double low = mired(p.minValue), high = mired(p.maxValue);
        return mired(low + (high - low) * fraction);
    }
    }
    return p.minValue;
}

} // namespace

double RUXValueAtSliderFraction(const RUXParameter& p, double fraction) {
    const double value = valueAtSliderFraction(p, fraction);
    if (!(p.step > 0)) {
        return value;
    }
    // Whole steps from the neutral value, kept within the range (whose ends need not fall on a step).
    const double stepped = p.neutralValue + std::round((value - p.neutralValue) / p.step) * p.step;
    return std::clamp(stepped, std::min(p.minValue, p.maxValue), std::max(p.minValue, p.maxValue));
}

double RUXSliderFractionOfValue(const RUXParameter& p, double value) {
    switch (p.mapping) {
    case RUXSliderMapping::Linear: {
        const float s = span(p);
        return s != 0 ? double((float(value) - float(p.minValue)) / s) : 0;
    }
    case RUXSliderMapping::Centred:
        if (value < p.neutralValue) {
            return p.neutralValue != p.minValue ? (value - p.minValue) / (p.neutralValue - p.minValue) / 2
                                                : 0;
        }
        return p.maxValue != p.neutralValue
                   ? 0.5 + (value - p.neutralValue) / (p.maxValue - p.neutralValue) / 2
                   : 0.5;
    case RUXSliderMapping::Mired: {
        const double low = mired(p.minValue), high = mired(p.maxValue);
        return high != low ? (mired(value) - low) / (high - low) : 0;
    }
    }
    return 0;
}
