#pragma once

#include <Foundation/Export.h>
#include <ImageEngine/Filter.h>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// A colour cube read from a .cube file, ready for the engine's colour cube: dimension³ entries of
// four floats (red, green, blue, alpha 1), red varying fastest, then green, then blue, over the
// input domain 0 … 1 of sRGB-encoded colour. Immutable once made; shared between threads.
struct RUX_API RUXCubeLookupTable {
    std::string title;
    int dimension = 0;
    ImageEngine::Data data;
};

// The engine's cube sizes (a table's dimension lies within them), the sizes a file may declare,
// and the largest file read. A 65³ table of three numbers a line fits in a few megabytes, so
// anything far beyond it is refused before it is read.
inline constexpr int kRUXCubeMinDimension = 2;
inline constexpr int kRUXCubeMaxDimension = 64;
inline constexpr int kRUXCubeFileMaxDimension = 256;
inline constexpr int kRUXCubeFileMax1DSize = 65536;
inline constexpr std::size_t kRUXCubeFileMaxBytes = 32u << 20;

// Parses the text of a .cube file: TITLE, LUT_1D_SIZE (2 … 65536) and/or LUT_3D_SIZE (2 … 256),
// DOMAIN_MIN and DOMAIN_MAX or LUT_1D_INPUT_RANGE / LUT_3D_INPUT_RANGE, comments after '#', then
// the one-dimensional table's entries followed by the three-dimensional one's, three numbers a
// line. With both, the one-dimensional table shapes each channel before the cube; DOMAIN_MIN and
// DOMAIN_MAX then belong to it. A table the engine cannot take as it is (over 64 points a side, a
// domain other than 0 … 1, a one-dimensional table) is sampled in double onto a cube of at most
// 64 points over 0 … 1. nullptr, with one sentence naming the line and the fault in error, for
// anything else: a missing or out-of-range size, a wrong entry count, a token that is not a
// number, a value that is not finite as a float, an unknown or repeated keyword, two input
// domains for one table, an empty domain, or text over kRUXCubeFileMaxBytes. Any thread; the
// caller owns the result.
RUX_API std::shared_ptr<const RUXCubeLookupTable> RUXParseCubeFile(std::string_view text, std::string& error);

// Reads and parses the file at path; nullptr with one sentence in error for a file that cannot be
// read or is over kRUXCubeFileMaxBytes, or whose text RUXParseCubeFile refuses. Any thread.
RUX_API std::shared_ptr<const RUXCubeLookupTable> RUXLoadCubeFile(const std::string& path,
                                                                  std::string& error);
