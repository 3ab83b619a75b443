#pragma once

#include <Foundation/Export.h>
#include <Graphics/Color.h>
#include <ImageEngine/Image.h>
#include <cstdint>
#include <map>
#include <memory>
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

// A named filter with inputs set by key ("inputImage", "inputEV", ...). Not shared between threads:
// each thread builds its own filters; the images they output are shareable.
class RUX_API Filter {
public:
    // The filter of that name with its inputs at their defaults; nullptr (one log line) for an
    // unknown name. Any thread may call it.
    static std::shared_ptr<Filter> create(const std::string& name);

    const std::string& name() const { return m_name; }

    // Sets an input. An unknown key, or a value of the wrong kind, is ignored with one log line.
    // Setting a key to std::monostate resets it to its default.
    void setValue(const std::string& key, FilterValue value);
    FilterValue value(const std::string& key) const;

    // A new recipe from the current inputs; nullptr when the image input (or another required image)
    // is missing or the inputs are unusable (e.g. cube data of the wrong size). The inputs are unchanged.
    ImagePtr outputImage() const;

    virtual ~Filter() = default;

protected:
    explicit Filter(std::string name) : m_name(std::move(name)) {}
    // Subclasses: build the recipe from the inputs held in m_values.
    virtual ImagePtr build() const = 0;
    // Subclasses: the keys they take with their defaults; a value set later must be of the
    // default's kind.
    virtual void declareInputs() = 0;
    void declareInput(const std::string& key, FilterValue defaultValue);

    // The current input under key, or a neutral value (nullptr, 0, a zero vector) when it is of
    // another kind.
    ImagePtr imageInput(const std::string& key) const;
    double numberInput(const std::string& key) const;
    Vector vectorInput(const std::string& key) const;
    Color colorInput(const std::string& key) const;
    Graphics::AffineTransform transformInput(const std::string& key) const;
    Data dataInput(const std::string& key) const;
    Graphics::ColorSpace colorSpaceInput(const std::string& key) const;

    std::map<std::string, FilterValue> m_values;
    std::map<std::string, FilterValue> m_defaults;

private:
    std::string m_name;
};

} // namespace ImageEngine
