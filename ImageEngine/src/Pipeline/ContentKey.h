#pragma once

#include <Graphics/AffineTransform.h>
#include <Graphics/Geometry.h>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <typeinfo>
#include <vector>

namespace ImageEngine {

class Node;
struct PixelRect;

// Everything that decides a graph's pixels, written out word by word so that two graphs built apart
// (a list folded again for every slider step) can be recognised as the same: the kind and numbers of
// every node and step, how they connect, and which immutable shared objects they read (the photo's
// bitmap, a table). Two equal keys render the same pixels. Shared objects count by identity and are
// held weakly: once one is gone, no key that names it equals any other.
class ContentKey {
public:
    void add(std::uint64_t word) { m_words.push_back(word); }
    void add(int value) { add(static_cast<std::uint64_t>(static_cast<std::int64_t>(value))); }
    // Bit patterns, so that −0 and 0 or two NaNs are told apart (at worst a kept picture is not found).
    void add(double value) { add(std::bit_cast<std::uint64_t>(value)); }
    void add(float value) { add(static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(value))); }
    void add(bool value) { add(static_cast<std::uint64_t>(value ? 1 : 0)); }
    void add(const Graphics::Rect& rect);
    void add(const Graphics::AffineTransform& transform);
    void add(const PixelRect& rect);
    void add(std::span<const float> values);
    void add(std::span<const std::uint32_t> values);
    // The class of a node or step: within one process each class has one type_info.
    void addType(const std::type_info& type) { add(reinterpret_cast<std::uintptr_t>(&type)); }
    // An object read as it is and never changed while anything refers to it.
    void addShared(const std::shared_ptr<const void>& object);

    // Equal words and the same shared objects, all of them still alive.
    bool matches(const ContentKey& other) const;
    // Whether every shared object the key names is still alive.
    bool objectsAlive() const;

private:
    std::vector<std::uint64_t> m_words;
    std::vector<const void*> m_addresses;
    std::vector<std::weak_ptr<const void>> m_objects;
};

// The key of the graph below and including node, or nullopt when one of its nodes or steps cannot
// describe itself (then nothing computed from it may be kept across renders).
std::optional<ContentKey> contentKeyOf(const Node& node);

} // namespace ImageEngine
