#pragma once

#include <cstdint>
#include <vector>
#include <zlib.h>

namespace PngChunks {

// A big-endian 32-bit number, as PNG writes lengths, sizes and checksums.
inline void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// A chunk with its checksum; its length field may claim more than it carries.
inline void putChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data,
                     std::uint32_t claimedLength) {
    put32(out, claimedLength);
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out,
          static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

inline void putChunk(std::vector<std::uint8_t>& out, const char* type,
                     const std::vector<std::uint8_t>& data) {
    putChunk(out, type, data, static_cast<std::uint32_t>(data.size()));
}

} // namespace PngChunks
