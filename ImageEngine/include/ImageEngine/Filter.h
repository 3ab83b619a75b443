#pragma once

#include <Foundation/Export.h>
#include <Graphics/Color.h>
#include <ImageEngine/FilterNames.h>
#include <ImageEngine/Image.h>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace ImageEngine {

// CIVector: up to four components. vectorWithX:Y: has count 2; vectorWithCGRect: is (x, y, w, h).
struct RUX_API Vector {
    double values[4] = {0, 0, 0, 0};
    int count = 0;
    static Vector make(double x, double y) { return {{x, y, 0, 0}, 2}; }
    static Vector make(double x, double y, double z, double w) { return {{x, y, z, w}, 4}; }
    static Vector makeWithRect(const Graphics::Rect& r) {
        return make(r.origin.x, r.origin.y, r.size.width, r.size.height);
    }
};

// CIColor: the graphics layer's colour (sRGB-encoded, alpha unencoded, not premultiplied).
using Color = Graphics::Color;

// A byte buffer input (the colour cube's data: dimension³ × 4 floats).
using Data = std::shared_ptr<const std::vector<std::uint8_t>>;

// One input value. Numbers are doubles (integers too).
using FilterValue = std::variant<std::monostate, double, Vector, Color, Graphics::AffineTransform, ImagePtr,
                                 Data, Graphics::ColorSpace>;

// What an input takes. A vector's count of numbers is part of its kind: a point takes two, a
// rectangle four (x, y, width, height).
enum class InputKind { Image, Number, Point, Rectangle, Color, Transform, Data, ColorSpace };

// The numbers an input is meant for, both ends included (for a colour, each component). A value
// beyond them is not clamped: the filter's arithmetic takes it as it comes, and each filter says
// what that gives.
struct RUX_API InputRange {
    double minimum = -std::numeric_limits<double>::infinity();
    double maximum = std::numeric_limits<double>::infinity();
    bool isUnbounded() const {
        return minimum == -std::numeric_limits<double>::infinity() &&
               maximum == std::numeric_limits<double>::infinity();
    }
};

// One row of a filter's input table: the key, what it takes, the value it starts at (for the
// adjustments, the one that leaves the picture as it is), the range it is meant for, and one line
// on what it does.
struct RUX_API InputDeclaration {
    InputKey key;
    InputKind kind;
    FilterValue defaultValue;
    InputRange range;
    const char* meaning = "";
};

// A named filter with inputs set by key (Inputs::image, Inputs::ev, ...). Not shared between
// threads: each thread builds its own filters; the images they output are shareable.
class RUX_API Filter {
public:
    // The filter of that name with its inputs at their defaults; nullptr (one log line) for an
    // unknown name. Any thread may call it.
    static std::shared_ptr<Filter> create(const std::string& name);
    static std::shared_ptr<Filter> create(FilterName name) { return create(std::string(name.text)); }
    // The names create knows, in no particular order. Any thread.
    static std::vector<FilterName> registeredNames();

    const std::string& name() const { return m_name; }
    // The filter's input table, in the order it declares them.
    const std::vector<InputDeclaration>& inputs() const { return m_declarations; }

    // Sets an input. An unknown key, or a value of the wrong kind (or a vector of the wrong count),
    // is refused with one log line: the input keeps its value, and outputImage answers nullptr until
    // that key is given a value it takes. A value out of its range is kept as it is. Setting a key to
    // std::monostate resets it to its default.
    void setValue(const std::string& key, FilterValue value);
    void setValue(InputKey key, FilterValue value) { setValue(std::string(key.text), std::move(value)); }
    FilterValue value(const std::string& key) const;
    FilterValue value(InputKey key) const { return value(std::string(key.text)); }

    // A new recipe from the current inputs; nullptr when an input was refused, when the image input
    // (or another required image) is missing, or when the inputs are unusable (e.g. cube data of the
    // wrong size). The inputs are unchanged.
    ImagePtr outputImage() const;

    virtual ~Filter() = default;

protected:
    explicit Filter(FilterName name) : m_name(name.text) {}
    // Subclasses: build the recipe from the inputs held in m_values.
    virtual ImagePtr build() const = 0;
    // Subclasses: declare each input they take, once, with declareInput.
    virtual void declareInputs() = 0;
    // Adds a row to the input table: the key, what it takes, its default, the range it is meant for
    // and what it does. A value set later must be of that kind; defaultValue must be of it too.
    void declareInput(InputKey key, InputKind kind, FilterValue defaultValue, InputRange range,
                      const char* meaning);

    // The current input under key, or a neutral value (nullptr, 0, a zero vector) when it is of
    // another kind.
    ImagePtr imageInput(InputKey key) const;
    double numberInput(InputKey key) const;
    Vector vectorInput(InputKey key) const;
    Color colorInput(InputKey key) const;
    Graphics::AffineTransform transformInput(InputKey key) const;
    Data dataInput(InputKey key) const;
    Graphics::ColorSpace colorSpaceInput(InputKey key) const;

    std::map<std::string, FilterValue> m_values;
    std::map<std::string, FilterValue> m_defaults;

private:
    std::string m_name;
    std::vector<InputDeclaration> m_declarations;
    std::map<std::string, InputKind> m_kinds;
    // Keys whose last value was refused; while any is left the filter has no output.
    std::set<std::string> m_refusedKeys;
};

// Whether value is of kind (a vector of the kind's count of numbers).
RUX_API bool isOfKind(const FilterValue& value, InputKind kind);

} // namespace ImageEngine
