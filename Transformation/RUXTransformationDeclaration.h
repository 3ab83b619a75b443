#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What one edit's parameters are, said once beside the class: the recipe reads and writes them,
// rux-render turns its flags into them, the slider screens spread their ranges, the fuzzers and the
// soak generate them. Everything here is plain data and functions of it; declarations are made
// once (a function-local static in the class's own file) and never change, so any thread may read
// them.

// The shape of one parameter's value.
enum class RUXParameterKind {
    Scalar,        // one number
    Point,         // x, y
    PointList,     // x, y, x, y, …
    Rectangle,     // x, y, width, height
    Matrix,        // a, b, c, d, tx, ty
    Sign,          // 1 or -1
    LookReference, // a text naming a look or the file it came from
    Group,         // several parameters given as one flag, such as X,Y[,SCALE]
};

// How a slider's travel maps onto a scalar's range.
enum class RUXSliderMapping {
    Linear,  // evenly from the minimum to the maximum
    Centred, // evenly on each side of the neutral value, which sits at the centre
    Mired,   // evenly in reciprocal megakelvin (1e6 / value), for a colour temperature in kelvin
};

// What a slider's thumb reads.
enum class RUXSliderText {
    Value,  // the value itself, two decimals, with a sign where the range has both
    Travel, // the thumb's place on −100 … 100, as the built-in screens show a range centred on its neutral
            // value
};

// Groups of edits, for the hosts that need "the colour edits" or "the geometry" as a set.
enum class RUXEditFamily { Geometry, Colour, Look, Effect };

// One value as it travels between a recipe, a flag and a transformation: numbers for every kind but
// LookReference, which uses text.
struct RUXParameterValue {
    std::vector<double> numbers;
    std::string text;
};

struct RUX_API RUXParameter {
    // The key in a recipe entry; empty for a Group, which lives only on the command line.
    std::string key;
    RUXParameterKind kind = RUXParameterKind::Scalar;
    // The range a control offers and the value that changes nothing. Values outside the range are
    // stored and applied as they are; the range is for controls and generators.
    double minValue = 0;
    double maxValue = 0;
    double neutralValue = 0;
    // What the numbers mean in a recipe ("stops", "factor", "unit point", "pixels", …).
    std::string unit;
    RUXSliderMapping mapping = RUXSliderMapping::Linear;
    // The smallest change a slider makes, counted from the neutral value (0.1 for tenths of a
    // degree); 0 lets it move freely.
    double step = 0;
    // The slider's caption on a screen of several sliders, empty for the key with a capital first
    // letter; and what its thumb reads.
    std::string caption;
    RUXSliderText sliderText = RUXSliderText::Value;

    // rux-render's flag ("--brightness"), empty for none; the value's form in the usage ("V",
    // "X,Y[,SCALE]"); what the flag takes, said when a value is refused ("a number"); the help line,
    // empty when the usage says enough.
    std::string flag;
    std::string flagValue;
    std::string flagTakes;
    std::string help;
    // Group: the keys of the parameters its numbers fill, in order; the first requiredMembers must
    // be given, the rest may be left off.
    std::vector<std::string> members;
    std::size_t requiredMembers = 0;
    // Further conditions on a flag's numbers (the count is checked already); empty accepts all.
    std::function<bool(const std::vector<double>&)> flagAccepts;

    // The parameter's value in a transformation of the declared class; std::nullopt when the
    // transformation should not be written down at all (a crop without area).
    std::function<std::optional<RUXParameterValue>(const RUXImageTransformation&)> get;
    // Stores a value that passed the checks into a transformation of the declared class.
    std::function<void(RUXImageTransformation&, const RUXParameterValue&)> set;
    // A value that has the right shape but cannot be used: the complaint that follows the quoted key
    // ("is not made of quarter turns and mirrors"); empty when the value is fine.
    std::function<std::string(const RUXParameterValue&)> check;

    // How many numbers a value of this kind holds; 0 for PointList (any even count), LookReference
    // and Group.
    std::size_t count() const;
};

struct RUX_API RUXTransformationDeclaration {
    const RUXClass* transformationClass = nullptr;
    // The edit slot. The design's codes 0 … 7 belong to its classes; each class added later takes a
    // code of its own from 8 up.
    RUXTransformationType type = RUXTransformationTypeBlur;
    double sortOrder = 0;
    RUXEditFamily family = RUXEditFamily::Effect;
    // The first recipe version that may hold the class; a document of an earlier version may not.
    int recipeVersion = 1;
    // False for a class that every list holds and no recipe writes (the normalisation).
    bool recorded = true;
    // True for a look that the host finds from its recorded name and source.
    bool resolvedByHost = false;
    std::vector<RUXParameter> parameters;

    // The parameter with this key or flag; nullptr for none.
    const RUXParameter* parameter(std::string_view key) const;
    const RUXParameter* parameterWithFlag(std::string_view flag) const;
};

// The declaration of a look class: no parameters, the look slot, the looks' sort order.
RUX_API RUXTransformationDeclaration RUXLookDeclaration(const RUXClass& lookClass);

// A flag's text read as the parameter's numbers: one number, or numbers separated by commas, as many
// as the kind (or a Group's members) take, every one finite, and flagAccepts satisfied. A point list
// may also be written as X,Y pairs separated by spaces ("0.25,0.2 0.75,0.8").
// std::nullopt when the text is refused; say "<flag> takes <flagTakes>".
RUX_API std::optional<std::vector<double>> RUXParseFlagValue(const RUXTransformationDeclaration& declaration,
                                                             const RUXParameter& parameter,
                                                             std::string_view text);

// Stores a flag's numbers (as RUXParseFlagValue answered them) into transformation: a Group fills
// its members in order and leaves members not given as they were. False, changing nothing, when the
// numbers do not fit.
RUX_API bool RUXApplyFlagValue(const RUXTransformationDeclaration& declaration, const RUXParameter& parameter,
                               RUXImageTransformation& transformation, const std::vector<double>& numbers);

// The value at a fraction 0 … 1 of a slider's travel, and the fraction at which a value sits, by
// the parameter's mapping; the value is rounded to the parameter's step, if it has one. A range
// without span answers its minimum (and the fraction 0).
RUX_API double RUXValueAtSliderFraction(const RUXParameter& parameter, double fraction);
RUX_API double RUXSliderFractionOfValue(const RUXParameter& parameter, double value);
