#pragma once

// The vector kernels of the render pipeline itself: decoding and encoding bytes, and splitting runs
// of pixels into colour lanes for the per-pixel filters. Each filter's own kernel lives in its file.
// Each entry point picks, once per process, the widest instruction set the CPU offers (Highway's
// dynamic dispatch), so the build never assumes the machine it runs on. Pixels are linear-light
// premultiplied RGBA floats unless a kernel says otherwise.

#include <cstddef>
#include <cstdint>

namespace ImageEngine::Simd {

// Pixels per run of a fused per-pixel chain: four lanes of 256 floats (4 KB) stay in the
// first-level cache across every step of the chain.
constexpr std::size_t kRunPixels = 256;

// One run of pixels as separate red, green, blue and alpha arrays (structure of arrays), each
// aligned and holding kRunPixels floats, so the colour steps need no shuffles.
struct Lanes {
    float* r;
    float* g;
    float* b;
    float* a;
    // Pixels in use; the arrays beyond them hold zeros so that whole vectors stay harmless.
    std::size_t count;
    // Where the run lies in the picture: pixel i is (x + i, y).
    int x = 0;
    int y = 0;
};

// Interleaved RGBA floats to lanes (zero-filling to the next whole vector) and back.
void deinterleave(const float* rgba, std::size_t count, const Lanes& lanes);
void interleave(const Lanes& lanes, float* rgba);

// sRGB bytes to linear premultiplied floats for count pixels. Pixel i is read at
// first + i × step (in pixels, possibly negative or a whole row), so turned and mirrored sources
// decode without an intermediate copy. Opaque sources ignore their fourth byte.
void decodeRgba8(const std::uint8_t* first, std::ptrdiff_t step, std::size_t count, bool opaque, float* rgba);
// The same decode of lanes.count contiguous pixels straight into lanes, zero-filling them to the next
// whole vector as deinterleave does: a per-pixel chain reading a bitmap needs no tile of floats.
void decodeRgba8Lanes(const std::uint8_t* bytes, bool opaque, const Lanes& lanes);
// Linear premultiplied floats to sRGB premultiplied bytes, alpha last.
void encodeRgba8(const float* rgba, std::size_t count, std::uint8_t* out);

// Copies rows × count 4-byte pixels: pixel i of row j is read at first + i × step + j × rowStep (in
// pixels, either possibly negative) and written at out[j] + i. A quarter turn (step a whole bitmap row,
// rowStep ±1) goes through square blocks transposed in registers, so that every load reads a run along
// a bitmap row instead of one pixel per row, and every store writes a run of an output row. With
// opaqueRows, every pixel is written with a fourth byte of 255, and opaqueRows[j] tells whether all of
// row j's fourth bytes were 255 as read.
void copyPixels(const std::uint8_t* first, std::ptrdiff_t step, std::ptrdiff_t rowStep, std::size_t count,
                std::size_t rows, std::uint8_t* const* out, bool* opaqueRows = nullptr);

// Name of the instruction set the kernels run with on this machine ("AVX3", "AVX2", ...).
const char* targetName();

} // namespace ImageEngine::Simd
