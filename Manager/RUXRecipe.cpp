#include <Foundation/Log.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXBlurTransformation.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXEngineValues.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <Transformation/RUXRotateTransformation.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <Transformation/RUXUserLookTransformation.h>
#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <vector>

// Keys keep the order they were written in, so a recipe reads top to bottom as it was made.
using Json = nlohmann::ordered_json;

namespace {

// Quarter turns and mirrors leave only 0 and ±1 in the matrix, give or take the residues of
// cos(π/2) that repeated turns accumulate (about 1e-16 each).
constexpr double kMatrixTolerance = 1e-9;

bool isLook(const RUXClass& c) {
    return c.create()->type() == RUXTransformationTypeFilter;
}

// key in double quotes, as messages name keys.
std::string quoted(const std::string& key) {
    std::string result;
    result.reserve(key.size() + 2);
    result += '"';
    result += key;
    result += '"';
    return result;
}

Json numbers(std::initializer_list<double> values) {
    return Json(std::vector<double>(values));
}

// The entry of one transformation; std::nullopt for a class that cannot be written down, and an
// empty object for one that needs no entry (the normalisation, a crop without framing).
std::optional<Json> entryFor(const RUXImageTransformation& t) {
    const RUXClass& c = t.transformationClass();
    Json entry = {{"class", c.name}};
    if (&c == &RUXNormalizeTransformation::classDescriptor()) {
        return Json::object();
    }
    if (auto* rotate = dynamic_cast<const RUXRotateTransformation*>(&t)) {
        const Graphics::AffineTransform m = rotate->transformMatrix();
        entry["matrix"] = numbers({m.a, m.b, m.c, m.d, m.tx, m.ty});
        entry["flipDirection"] = rotate->flipDirection();
        entry["rotateDirection"] = rotate->rotateDirection();
    } else if (auto* crop = dynamic_cast<const RUXCropTransformation*>(&t)) {
        const Graphics::Rect original = crop->originalRect();
        const Graphics::Rect framing = crop->cropRect().standardized();
        // The render scales the framing by the picture over the original size, about the origin;
        // dividing by that size once here gives the same proportions at every resolution.
        const Graphics::Rect rect(framing.origin.x / original.width(), framing.origin.y / original.height(),
                                  framing.size.width / original.width(),
                                  framing.size.height / original.height());
        if (original.width() == 0 || original.height() == 0 || !RUXIsFinite(rect) || !(rect.size.width > 0) ||
            !(rect.size.height > 0)) {
            // Such a crop leaves pictures unchanged, which no entry says as well.
            return Json::object();
        }
        entry["rect"] = numbers({rect.origin.x, rect.origin.y, rect.size.width, rect.size.height});
    } else if (auto* scalar = dynamic_cast<const RUXScalarAdjustment*>(&t)) {
        entry["value"] = double(scalar->value());
    } else if (auto* blur = dynamic_cast<const RUXBlurTransformation*>(&t)) {
        entry["point"] = numbers({blur->point().x, blur->point().y});
        entry["scale"] = blur->scale();
    } else if (auto* circle = dynamic_cast<const RUXBeautifulBlurTransformation*>(&t)) {
        entry["point"] = numbers({circle->point().x, circle->point().y});
    } else if (auto* userLook = dynamic_cast<const RUXUserLookTransformation*>(&t)) {
        entry["name"] = userLook->name();
        entry["source"] = userLook->source();
    } else if (RUXTransformationClassNamed(c.name) != &c || !isLook(c)) {
        return std::nullopt;
    }
    return entry;
}

// Reading one entry: every check names the entry, so a long recipe's fault is easy to find.
class EntryReader {
public:
    EntryReader(const Json& entry, std::size_t index, std::string& error)
        : m_entry(entry), m_prefix("transformation " + std::to_string(index) + ": "), m_error(error) {}

    bool fail(const std::string& message) {
        m_error = m_prefix + message;
        return false;
    }

    // Only the keys named (and "class") may appear.
    bool onlyKeys(std::initializer_list<const char*> keys) {
        for (const auto& item : m_entry.items()) {
            // A copy, not a structured binding: some compilers cannot capture those in a lambda.
            const std::string key = item.key();
            if (key != "class" &&
                std::none_of(keys.begin(), keys.end(), [&](const char* k) { return key == k; })) {
                return fail("unexpected key \"" + key + "\"");
            }
        }
        for (const char* key : keys) {
            if (!m_entry.contains(key)) {
                return fail("missing \"" + std::string(key) + "\"");
            }
        }
        return true;
    }

    std::optional<double> number(const char* key) {
        const Json& value = m_entry.at(key);
        if (!value.is_number()) {
            fail(quoted(key) + " must be a number");
            return std::nullopt;
        }
        double v = value.get<double>();
        if (!std::isfinite(v)) {
            fail(quoted(key) + " must be finite");
            return std::nullopt;
        }
        return v;
    }

    std::optional<std::vector<double>> numbers(const char* key, std::size_t count) {
        const Json& value = m_entry.at(key);
        if (!value.is_array() || value.size() != count) {
            fail(quoted(key) + " must be a list of " + std::to_string(count) + " numbers");
            return std::nullopt;
        }
        std::vector<double> result;
        for (const Json& item : value) {
            if (!item.is_number() || !std::isfinite(item.get<double>())) {
                fail(quoted(key) + " must hold finite numbers only");
                return std::nullopt;
            }
            result.push_back(item.get<double>());
        }
        return result;
    }

    std::optional<int> direction(const char* key) {
        const Json& value = m_entry.at(key);
        if (!value.is_number_integer() || (value.get<long long>() != 1 && value.get<long long>() != -1)) {
            fail(quoted(key) + " must be 1 or -1");
            return std::nullopt;
        }
        return int(value.get<long long>());
    }

    std::optional<std::string> text(const char* key) {
        const Json& value = m_entry.at(key);
        if (!value.is_string()) {
            fail(quoted(key) + " must be a string");
            return std::nullopt;
        }
        return value.get<std::string>();
    }

private:
    const Json& m_entry;
    std::string m_prefix;
    std::string& m_error;
};

bool isQuarterTurnsAndMirrors(const std::vector<double>& m) {
    auto near = [](double v, double target) { return std::abs(v - target) <= kMatrixTolerance; };
    auto unitOrZero = [&](double v) { return near(v, 0) || near(v, 1) || near(v, -1); };
    if (!std::all_of(m.begin(), m.begin() + 4, unitOrZero) || !near(m[4], 0) || !near(m[5], 0)) {
        return false;
    }
    return near(std::abs(m[0] * m[3] - m[1] * m[2]), 1);
}

RUXTransformationPtr readEntry(const Json& entry, std::size_t index,
                               const RUXRecipe::UserLookResolver& resolver, std::string& error) {
    EntryReader reader(entry, index, error);
    if (!entry.is_object() || !entry.contains("class") || !entry.at("class").is_string()) {
        reader.fail("must be an object with a \"class\" string");
        return nullptr;
    }
    const std::string className = entry.at("class").get<std::string>();
    if (className == RUXRotateTransformation::classDescriptor().name) {
        if (!reader.onlyKeys({"matrix", "flipDirection", "rotateDirection"})) {
            return nullptr;
        }
        auto m = reader.numbers("matrix", 6);
        auto flip = m ? reader.direction("flipDirection") : std::nullopt;
        auto turn = flip ? reader.direction("rotateDirection") : std::nullopt;
        if (!turn) {
            return nullptr;
        }
        if (!isQuarterTurnsAndMirrors(*m)) {
            reader.fail("\"matrix\" is not made of quarter turns and mirrors");
            return nullptr;
        }
        auto rotate = std::make_shared<RUXRotateTransformation>();
        rotate->setTransformMatrix({(*m)[0], (*m)[1], (*m)[2], (*m)[3], (*m)[4], (*m)[5]});
        rotate->setFlipDirection(*flip);
        rotate->setRotateDirection(*turn);
        return rotate;
    }
    if (className == RUXCropTransformation::classDescriptor().name) {
        if (!reader.onlyKeys({"rect"})) {
            return nullptr;
        }
        auto r = reader.numbers("rect", 4);
        if (!r) {
            return nullptr;
        }
        if (!((*r)[2] > 0) || !((*r)[3] > 0)) {
            reader.fail("\"rect\" must have a positive width and height");
            return nullptr;
        }
        auto crop = std::make_shared<RUXCropTransformation>();
        crop->setCropRect(Graphics::Rect((*r)[0], (*r)[1], (*r)[2], (*r)[3]));
        crop->setOriginalRect(Graphics::Rect(0, 0, 1, 1));
        return crop;
    }
    for (const RUXClass* scalarClass :
         {&RUXBrightnessTransformation::classDescriptor(), &RUXSaturationTransformation::classDescriptor(),
          &RUXContrastTransformation::classDescriptor()}) {
        if (className == scalarClass->name) {
            if (!reader.onlyKeys({"value"})) {
                return nullptr;
            }
            auto value = reader.number("value");
            if (!value) {
                return nullptr;
            }
            if (!std::isfinite(float(*value))) {
                reader.fail("\"value\" is too large");
                return nullptr;
            }
            auto scalar = std::static_pointer_cast<RUXScalarTransformation>(scalarClass->create());
            scalar->setValue(float(*value));
            return scalar;
        }
    }
    if (className == RUXBlurTransformation::classDescriptor().name) {
        if (!reader.onlyKeys({"point", "scale"})) {
            return nullptr;
        }
        auto point = reader.numbers("point", 2);
        auto scale = point ? reader.number("scale") : std::nullopt;
        if (!scale) {
            return nullptr;
        }
        auto blur = std::make_shared<RUXBlurTransformation>();
        blur->setPoint({(*point)[0], (*point)[1]});
        blur->setScale(*scale);
        return blur;
    }
    if (className == RUXBeautifulBlurTransformation::classDescriptor().name) {
        if (!reader.onlyKeys({"point"})) {
            return nullptr;
        }
        auto point = reader.numbers("point", 2);
        if (!point) {
            return nullptr;
        }
        auto blur = std::make_shared<RUXBeautifulBlurTransformation>();
        blur->setPoint({(*point)[0], (*point)[1]});
        return blur;
    }
    if (className == RUXUserLookTransformation::classDescriptor().name) {
        if (!reader.onlyKeys({"name", "source"})) {
            return nullptr;
        }
        auto name = reader.text("name");
        auto source = name ? reader.text("source") : std::nullopt;
        if (!source) {
            return nullptr;
        }
        RUXTransformationPtr look = resolver ? resolver(*name, *source) : nullptr;
        if (!look || look->type() != RUXTransformationTypeFilter) {
            reader.fail("the user look \"" + *name + "\" is not available");
            return nullptr;
        }
        return look;
    }
    const RUXClass* lookClass = RUXTransformationClassNamed(className);
    if (lookClass && isLook(*lookClass)) {
        if (!reader.onlyKeys({})) {
            return nullptr;
        }
        return lookClass->create();
    }
    reader.fail("unknown class \"" + className + "\"");
    return nullptr;
}

} // namespace

std::shared_ptr<const RUXRecipe> RUXRecipe::createWithTransformations(const RUXTransformationList& list) {
    std::shared_ptr<RUXRecipe> recipe(new RUXRecipe);
    for (const auto& t : list) {
        if (!t) {
            continue;
        }
        auto entry = entryFor(*t);
        if (!entry) {
            Foundation::log("A recipe cannot record a %s", t->transformationClass().name);
            return nullptr;
        }
        if (entry->empty()) {
            continue;
        }
        // Looks are shared read-only objects; everything else is copied, so the caller's working
        // objects stay the caller's.
        recipe->m_transformations.push_back(t->type() == RUXTransformationTypeFilter ? t : t->copy());
    }
    std::stable_sort(recipe->m_transformations.begin(), recipe->m_transformations.end(),
                     RUXEditManager::transformationComparator);
    return recipe;
}

std::shared_ptr<const RUXRecipe>
RUXRecipe::createWithDocument(std::string_view text, const UserLookResolver& resolver, std::string& error) {
    if (text.size() > kMaxDocumentBytes) {
        error = "the recipe is larger than " + std::to_string(kMaxDocumentBytes / 1024) + " KB";
        return nullptr;
    }
    Json document = Json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded()) {
        error = "the recipe is not valid JSON";
        return nullptr;
    }
    if (!document.is_object()) {
        error = "the recipe must be a JSON object";
        return nullptr;
    }
    for (const auto& [key, value] : document.items()) {
        if (key != "format" && key != "version" && key != "transformations") {
            error = "unexpected key \"" + key + "\"";
            return nullptr;
        }
    }
    if (!document.contains("format") || document["format"] != kFormatName) {
        error = std::string("not a recipe: \"format\" must be \"") + kFormatName + "\"";
        return nullptr;
    }
    if (!document.contains("version") || !document["version"].is_number_integer() ||
        document["version"].get<long long>() != kVersion) {
        error = "unsupported recipe version (this reader knows version " + std::to_string(kVersion) + ")";
        return nullptr;
    }
    if (!document.contains("transformations") || !document["transformations"].is_array()) {
        error = "\"transformations\" must be a list";
        return nullptr;
    }
    std::shared_ptr<RUXRecipe> recipe(new RUXRecipe);
    std::set<RUXTransformationType> types;
    std::size_t index = 0;
    for (const Json& entry : document["transformations"]) {
        auto t = readEntry(entry, index, resolver, error);
        if (!t) {
            return nullptr;
        }
        if (!types.insert(t->type()).second) {
            error = "transformation " + std::to_string(index) + ": a second " +
                    t->transformationClass().name + " for an edit slot that holds one";
            return nullptr;
        }
        recipe->m_transformations.push_back(std::move(t));
        ++index;
    }
    std::stable_sort(recipe->m_transformations.begin(), recipe->m_transformations.end(),
                     RUXEditManager::transformationComparator);
    return recipe;
}

std::string RUXRecipe::document() const {
    Json list = Json::array();
    for (const auto& t : m_transformations) {
        if (auto entry = entryFor(*t); entry && !entry->empty()) {
            list.push_back(std::move(*entry));
        }
    }
    Json document = {{"format", kFormatName}, {"version", kVersion}, {"transformations", std::move(list)}};
    return document.dump(2) + "\n";
}

RUXTransformationList RUXRecipe::transformations() const {
    RUXTransformationList result;
    result.reserve(m_transformations.size());
    for (const auto& t : m_transformations) {
        result.push_back(t->type() == RUXTransformationTypeFilter ? t : t->copy());
    }
    return result;
}
