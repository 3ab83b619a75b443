#include <Foundation/Log.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXTransformationRegistry.h>
#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <vector>

// Keys keep the order they were written in, so a recipe reads top to bottom as it was made.
using Json = nlohmann::ordered_json;

namespace {

// key in double quotes, as messages name keys.
std::string quoted(const std::string& key) {
    std::string result;
    result.reserve(key.size() + 2);
    result += '"';
    result += key;
    result += '"';
    return result;
}

// The entry of one transformation; std::nullopt for a class that cannot be written down, and an
// empty object for one that needs no entry (the normalisation, a crop without framing).
std::optional<Json> entryFor(const RUXImageTransformation& t) {
    const RUXClass& c = t.transformationClass();
    const RUXTransformationDeclaration* declaration = RUXTransformationRegistry::declarationOf(c);
    if (!declaration) {
        return std::nullopt;
    }
    if (!declaration->recorded) {
        return Json::object();
    }
    Json entry = {{"class", c.name}};
    for (const RUXParameter& p : declaration->parameters) {
        if (p.key.empty()) {
            continue;
        }
        std::optional<RUXParameterValue> value = p.get ? p.get(t) : std::nullopt;
        if (!value) {
            return Json::object();
        }
        switch (p.kind) {
        case RUXParameterKind::Scalar:
            entry[p.key] = value->numbers.at(0);
            break;
        case RUXParameterKind::Sign:
            entry[p.key] = int(value->numbers.at(0));
            break;
        case RUXParameterKind::LookReference:
            entry[p.key] = value->text;
            break;
        case RUXParameterKind::Point:
        case RUXParameterKind::PointList:
        case RUXParameterKind::Rectangle:
        case RUXParameterKind::Matrix:
            entry[p.key] = Json(value->numbers);
            break;
        case RUXParameterKind::Group:
            break;
        }
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
    bool onlyKeys(const std::vector<std::string>& keys) {
        for (const auto& item : m_entry.items()) {
            // A copy, not a structured binding: some compilers cannot capture those in a lambda.
            const std::string key = item.key();
            if (key != "class" && std::find(keys.begin(), keys.end(), key) == keys.end()) {
                return fail("unexpected key \"" + key + "\"");
            }
        }
        for (const std::string& key : keys) {
            if (!m_entry.contains(key)) {
                return fail("missing \"" + key + "\"");
            }
        }
        return true;
    }

    std::optional<double> number(const std::string& key) {
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

    std::optional<std::vector<double>> numbers(const std::string& key, std::size_t count) {
        const Json& value = m_entry.at(key);
        if (!value.is_array() || (count ? value.size() != count : value.size() % 2 != 0)) {
            fail(quoted(key) + (count ? " must be a list of " + std::to_string(count) + " numbers"
                                      : std::string(" must be a list of x, y pairs")));
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

    std::optional<int> direction(const std::string& key) {
        const Json& value = m_entry.at(key);
        if (!value.is_number_integer() || (value.get<long long>() != 1 && value.get<long long>() != -1)) {
            fail(quoted(key) + " must be 1 or -1");
            return std::nullopt;
        }
        return int(value.get<long long>());
    }

    std::optional<std::string> text(const std::string& key) {
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

// One parameter's value as the entry holds it; std::nullopt (with the reader's message) when it
// has the wrong type or count.
std::optional<RUXParameterValue> readValue(EntryReader& reader, const RUXParameter& p) {
    switch (p.kind) {
    case RUXParameterKind::Scalar:
        if (auto v = reader.number(p.key)) {
            return RUXParameterValue{{*v}, {}};
        }
        break;
    case RUXParameterKind::Sign:
        if (auto v = reader.direction(p.key)) {
            return RUXParameterValue{{double(*v)}, {}};
        }
        break;
    case RUXParameterKind::LookReference:
        if (auto v = reader.text(p.key)) {
            return RUXParameterValue{{}, *v};
        }
        break;
    case RUXParameterKind::Point:
    case RUXParameterKind::PointList:
    case RUXParameterKind::Rectangle:
    case RUXParameterKind::Matrix:
        if (auto v = reader.numbers(p.key, p.count())) {
            return RUXParameterValue{*v, {}};
        }
        break;
    case RUXParameterKind::Group:
        break;
    }
    return std::nullopt;
}

RUXTransformationPtr readEntry(const Json& entry, std::size_t index, int version,
                               const RUXRecipe::UserLookResolver& resolver, std::string& error) {
    EntryReader reader(entry, index, error);
    if (!entry.is_object() || !entry.contains("class") || !entry.at("class").is_string()) {
        reader.fail("must be an object with a \"class\" string");
        return nullptr;
    }
    const std::string className = entry.at("class").get<std::string>();
    const RUXTransformationDeclaration* declaration = RUXTransformationRegistry::declarationNamed(className);
    if (!declaration || !declaration->recorded) {
        reader.fail("unknown class \"" + className + "\"");
        return nullptr;
    }
    if (declaration->recipeVersion > version) {
        reader.fail("the class \"" + className + "\" needs recipe version " +
                    std::to_string(declaration->recipeVersion));
        return nullptr;
    }
    std::vector<std::string> keys;
    for (const RUXParameter& p : declaration->parameters) {
        if (!p.key.empty()) {
            keys.push_back(p.key);
        }
    }
    if (!reader.onlyKeys(keys)) {
        return nullptr;
    }
    std::vector<std::pair<const RUXParameter*, RUXParameterValue>> values;
    for (const RUXParameter& p : declaration->parameters) {
        if (p.key.empty()) {
            continue;
        }
        auto value = readValue(reader, p);
        if (!value) {
            return nullptr;
        }
        values.emplace_back(&p, std::move(*value));
    }
    for (const auto& [p, value] : values) {
        if (p->check) {
            if (std::string complaint = p->check(value); !complaint.empty()) {
                reader.fail(quoted(p->key) + " " + complaint);
                return nullptr;
            }
        }
    }
    if (declaration->resolvedByHost) {
        auto textOf = [&](const char* key) {
            for (const auto& [p, value] : values) {
                if (p->key == key) {
                    return value.text;
                }
            }
            return std::string();
        };
        const std::string name = textOf("name");
        RUXTransformationPtr look = resolver ? resolver(name, textOf("source")) : nullptr;
        if (!look || look->type() != declaration->type) {
            reader.fail("the user look \"" + name + "\" is not available");
            return nullptr;
        }
        return look;
    }
    RUXTransformationPtr t = declaration->transformationClass->create();
    for (const auto& [p, value] : values) {
        if (p->set) {
            p->set(*t, value);
        }
    }
    return t;
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
    const int newest = RUXTransformationRegistry::recipeVersion();
    if (!document.contains("version") || !document["version"].is_number_integer() ||
        document["version"].get<long long>() < 1 || document["version"].get<long long>() > newest) {
        error = newest == 1 ? "unsupported recipe version (this reader knows version 1)"
                            : "unsupported recipe version (this reader knows versions 1 to " +
                                  std::to_string(newest) + ")";
        return nullptr;
    }
    const int version = int(document["version"].get<long long>());
    if (!document.contains("transformations") || !document["transformations"].is_array()) {
        error = "\"transformations\" must be a list";
        return nullptr;
    }
    std::shared_ptr<RUXRecipe> recipe(new RUXRecipe);
    std::set<RUXTransformationType> types;
    std::size_t index = 0;
    for (const Json& entry : document["transformations"]) {
        auto t = readEntry(entry, index, version, resolver, error);
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
    int version = kVersion;
    for (const auto& t : m_transformations) {
        if (auto entry = entryFor(*t); entry && !entry->empty()) {
            list.push_back(std::move(*entry));
            if (auto* declaration = RUXTransformationRegistry::declarationOf(t->transformationClass())) {
                version = std::max(version, declaration->recipeVersion);
            }
        }
    }
    Json document = {{"format", kFormatName}, {"version", version}, {"transformations", std::move(list)}};
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
