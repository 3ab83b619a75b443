#pragma once

// The inputs and settings of the simpler chain, shared by our engine's benchmark and the
// comparison runs through other image libraries, so that all of them do the same work.
#include <Graphics/Bitmap.h>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

namespace EngineBench {

// A busy opaque picture: neighbouring pixels differ, so no look-up stays in one cache line.
inline std::shared_ptr<Graphics::Bitmap> photo(int w, int h) {
    auto bitmap = Graphics::Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bitmap->mutableRow(y) + x * 4;
            p[0] = static_cast<std::uint8_t>((x ^ y) & 255);
            p[1] = static_cast<std::uint8_t>((x / 3 + y) & 255);
            p[2] = static_cast<std::uint8_t>((x + y / 2) & 255);
            p[3] = 255;
        }
    return bitmap;
}

// A look-like table: a warm, slightly faded curve; dimension³ RGBA floats, red fastest.
inline std::vector<float> lookFloats(int dimension) {
    std::vector<float> floats;
    const float last = static_cast<float>(dimension - 1);
    for (int b = 0; b < dimension; ++b)
        for (int g = 0; g < dimension; ++g)
            for (int r = 0; r < dimension; ++r) {
                float rf = r / last, gf = g / last, bf = b / last;
                floats.insert(floats.end(), {0.05f + 0.9f * std::sqrt(rf), 0.03f + 0.92f * gf,
                                             0.08f + 0.8f * bf * bf, 1.0f});
            }
    return floats;
}

// The simpler chain's settings.
constexpr double kExposure = 0.3; // EV
constexpr double kSaturation = 1.2;
constexpr double kGamma = 1.21;
constexpr int kCubeDimension = 33;
constexpr int kVignetteWidth = 600, kVignetteHeight = 400;
constexpr double kBlurSigma = 2.5;
// The focus mask: sharp inside height / 6 of the centre, blurred beyond height / 3.
inline double focusRadius0(int h) {
    return h / 6.0;
}
inline double focusRadius1(int h) {
    return h / 3.0;
}

inline double srgbDecode(double e) {
    return e <= 0.04045 ? e / 12.92 : std::pow((e + 0.055) / 1.055, 2.4);
}
inline double srgbEncode(double l) {
    return l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
}

// Processor time of the whole process (every thread) per iteration, as the counter "cpu_ms": on a
// machine shared with other work the wall time wanders with the load, this much less.
class ProcessorTime {
public:
    explicit ProcessorTime(benchmark::State& state) : m_state(state), m_start(std::clock()) {}
    ~ProcessorTime() {
        if (m_state.iterations() == 0)
            return;
        double seconds = static_cast<double>(std::clock() - m_start) / CLOCKS_PER_SEC;
        m_state.counters["cpu_ms"] = seconds * 1000 / static_cast<double>(m_state.iterations());
    }
    ProcessorTime(const ProcessorTime&) = delete;
    ProcessorTime& operator=(const ProcessorTime&) = delete;

private:
    benchmark::State& m_state;
    std::clock_t m_start;
};

} // namespace EngineBench
