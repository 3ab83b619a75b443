#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace RUXFuzz {

// Reads a fuzzer's bytes as a stream of small decisions. Past the end every read answers zero, so
// a short input is still a whole (if dull) program.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_offset >= m_size; }
    std::size_t remaining() const { return m_size - m_offset; }
    const std::uint8_t* current() const { return m_data + m_offset; }

    std::uint8_t byte() { return m_offset < m_size ? m_data[m_offset++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
    std::uint32_t u32() {
        return static_cast<std::uint32_t>(u16()) | static_cast<std::uint32_t>(u16()) << 16;
    }
    // A value in [low, high].
    int range(int low, int high) {
        return low + static_cast<int>(u32() % static_cast<std::uint32_t>(high - low + 1));
    }

    // Mostly the values that break arithmetic (NaN, infinities, zero, huge, tiny), else a small
    // ordinary number, else raw bits.
    double number() {
        static const double special[] = {std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         0.0,
                                         -0.0,
                                         1e308,
                                         -1e308,
                                         1e-308,
                                         std::numeric_limits<double>::denorm_min(),
                                         0.5,
                                         1.0,
                                         -1.0,
                                         2.0,
                                         33.0,
                                         1e6,
                                         -1e6};
        const std::uint8_t kind = byte();
        if (kind < 96)
            return special[kind % 16];
        if (kind < 224)
            return (static_cast<int>(u16()) - 32768) / 1024.0;
        double raw;
        const std::uint64_t bits = static_cast<std::uint64_t>(u32()) | static_cast<std::uint64_t>(u32())
                                                                           << 32;
        std::memcpy(&raw, &bits, sizeof raw);
        return raw;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

// A broken invariant: says which and stops the process, so the fuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

#define RUX_FUZZ_CHECK(condition)                                                                            \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::RUXFuzz::fail(#condition);                                                                     \
    } while (0)

} // namespace RUXFuzz
