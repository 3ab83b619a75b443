#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace ImageEngine {

// log2 for positive finite x: exponent bits plus a polynomial on the mantissa (error below 1e-5),
// far cheaper than std::log2 in per-pixel loops.
inline float fastLog2(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    float exponent = static_cast<float>(static_cast<int>((bits >> 23) & 255) - 127);
    bits = (bits & 0x007FFFFF) | 0x3F800000;
    float m;
    std::memcpy(&m, &bits, sizeof m);
    // Minimax fit of log2(m) on [1, 2).
    float t = m - 1.0f;
    float p = -0.0248256f;
    p = p * t + 0.1350226f;
    p = p * t - 0.3343793f;
    p = p * t + 0.6178569f;
    p = p * t - 0.7150624f;
    p = p * t + 1.4407483f;
    return exponent + p * t;
}

// 2^y for y in the float range: integer part into the exponent, a polynomial for the fraction.
inline float fastExp2(float y) {
    y = std::fmax(y, -126.0f);
    y = std::fmin(y, 127.0f);
    float whole = std::floor(y);
    float f = y - whole;
    float p = 1.8775767e-3f;
    p = p * f + 8.9893397e-3f;
    p = p * f + 5.5826318e-2f;
    p = p * f + 2.4015361e-1f;
    p = p * f + 6.9315308e-1f;
    p = p * f + 0.99999994f;
    std::uint32_t bits = static_cast<std::uint32_t>(static_cast<int>(whole) + 127) << 23;
    float scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return p * scale;
}

// |x|^power for finite x; 0 for x = 0.
inline float fastPow(float x, float power) {
    x = std::fabs(x);
    return x > 0.0f ? fastExp2(power * fastLog2(x)) : 0.0f;
}

} // namespace ImageEngine
