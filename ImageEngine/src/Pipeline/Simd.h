#pragma once

// The engine's vector kernels. Each entry point picks, once per process, the widest instruction set
// the CPU offers (Highway's dynamic dispatch), so the build never assumes the machine it runs on.
// Pixels are linear-light premultiplied RGBA floats unless a kernel says otherwise.

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
};

// Interleaved RGBA floats to lanes (zero-filling to the next whole vector) and back.
void deinterleave(const float* rgba, std::size_t count, const Lanes& lanes);
void interleave(const Lanes& lanes, float* rgba);

// rgb × gain.
void exposure(const Lanes& lanes, float gain);
// Saturation about the Rec. 709 luma, then brightness, then contrast about 0.5, on straight colour.
void colorControls(const Lanes& lanes, float saturation, float brightness, float contrast);
// Straight colour to the power, sign kept.
void gamma(const Lanes& lanes, float power);

struct CubeTable {
    const float* data; // dimension³ entries of premultiplied RGBA, red fastest
    int dimension;     // 2 … 64
    bool opaque;       // every entry's alpha is 1, so alpha needs no division
    bool encoded;      // the table maps sRGB-encoded colour rather than linear
};
// Trilinear look-up of the straight colour clamped to [0, 1] (encoded first when the table is).
void colorCube(const Lanes& lanes, const CubeTable& table);

// sRGB bytes to linear premultiplied floats for count pixels. Pixel i is read at
// first + i × step (in pixels, possibly negative or a whole row), so turned and mirrored sources
// decode without an intermediate copy. Opaque sources ignore their fourth byte.
void decodeRgba8(const std::uint8_t* first, std::ptrdiff_t step, std::size_t count, bool opaque, float* rgba);
// Linear premultiplied floats to sRGB premultiplied bytes, alpha last.
void encodeRgba8(const float* rgba, std::size_t count, std::uint8_t* out);

// Per-pixel combinations; the background row is rewritten in place.
void overlayRow(const float* source, float* background, std::size_t count);
void blendWithMaskRow(const float* image, const float* mask, float* background, std::size_t count);
void sourceOverRow(const float* source, float* background, std::size_t count);

struct RadialGradient {
    float centreX, centreY;
    float radius0, radius1;
    float color0[4], color1[4]; // linear straight colour and alpha
};
// count pixels of the gradient along row y starting at column x.
void radialGradientRow(const RadialGradient& gradient, int x, int y, std::size_t count, float* rgba);

// dst[i] = Σ weights[k] × sources[k][i] for i < count floats, for a kernel symmetric about its
// middle tap (taps odd): the blur's passes in both directions.
void symmetricConvolve(const float* const* sources, const float* weights, int taps, float* dst,
                       std::size_t count);

// One output row of a bilinear map without rotation: pixel i blends source columns offsets[i] and
// offsets[i] + 4 (offsets in floats) of the two rows by weights[i], then the rows by rowWeight.
void bilinearRow(const float* bottom, const float* top, const std::int32_t* offsets, const float* weights,
                 float rowWeight, std::size_t count, float* rgba);

// One output row of a bilinear map with rotation or shear: pixel i blends the source pixel at
// offsets[i] (in floats) with the one to its right, and the two above them (rowStride floats on),
// by weightsX[i] across and weightsY[i] up. Pixels with a negative offset are left as they are
// (the caller fills those, whose taps fall outside the source).
void bilinearGatherRow(const float* source, std::ptrdiff_t rowStride, const std::ptrdiff_t* offsets,
                       const float* weightsX, const float* weightsY, std::size_t count, float* rgba);

// Name of the instruction set the kernels run with on this machine ("AVX3", "AVX2", ...).
const char* targetName();

} // namespace ImageEngine::Simd
