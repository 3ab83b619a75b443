#include "Pipeline/ContentKey.h"

#include "Pipeline/Node.h"

#include <algorithm>
#include <unordered_map>

namespace ImageEngine {

void ContentKey::add(const Graphics::Rect& rect) {
    add(rect.origin.x);
    add(rect.origin.y);
    add(rect.size.width);
    add(rect.size.height);
}

void ContentKey::add(const Graphics::AffineTransform& transform) {
    for (double entry : {transform.a, transform.b, transform.c, transform.d, transform.tx, transform.ty})
        add(entry);
}

void ContentKey::add(const PixelRect& rect) {
    for (int value : {rect.x, rect.y, rect.w, rect.h})
        add(value);
}

void ContentKey::add(std::span<const float> values) {
    add(values.size());
    for (float value : values)
        add(value);
}

void ContentKey::add(std::span<const std::uint32_t> values) {
    add(values.size());
    for (std::uint32_t value : values)
        add(static_cast<std::uint64_t>(value));
}

void ContentKey::addShared(const std::shared_ptr<const void>& object) {
    // The word keeps the object's place among the words; the address and the weak reference say
    // which object it is.
    add(m_addresses.size());
    m_addresses.push_back(object.get());
    m_objects.push_back(object);
}

bool ContentKey::matches(const ContentKey& other) const {
    if (m_words != other.m_words || m_addresses != other.m_addresses)
        return false;
    // An address is only a name while its object lives: a freed photo's memory may hold the next one.
    return objectsAlive() && other.objectsAlive();
}

bool ContentKey::objectsAlive() const {
    return std::none_of(m_objects.begin(), m_objects.end(),
                        [](const auto& object) { return object.expired(); });
}

std::optional<ContentKey> contentKeyOf(const Node& root) {
    ContentKey key;
    // Depth first, inputs in order: each node is written once, with its class, extent, number of
    // inputs and own numbers, and by its place in that order wherever it is met again, so a graph
    // whose nodes are shared is told from one that repeats them.
    std::unordered_map<const Node*, std::size_t> places;
    std::vector<const Node*> pending{&root};
    while (!pending.empty()) {
        const Node* node = pending.back();
        pending.pop_back();
        if (auto it = places.find(node); it != places.end()) {
            key.add(std::uint64_t{0}); // no class has a type_info at address 0
            key.add(it->second);
            continue;
        }
        places.emplace(node, places.size());
        key.addType(typeid(*node));
        key.add(node->extent());
        key.add(node->inputs().size());
        if (!node->describe(key))
            return std::nullopt;
        for (auto it = node->inputs().rbegin(); it != node->inputs().rend(); ++it)
            pending.push_back(it->get());
    }
    return key;
}

} // namespace ImageEngine
