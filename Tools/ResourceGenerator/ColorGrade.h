#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

// The building blocks of a look. Every function works on sRGB-encoded values in [0, 1], because the
// lookup-table cube is indexed and filled in that encoding; a grade defined here is what the user sees.
namespace ResourceArt {

struct Rgb {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

// A smooth, monotone tone curve through control points (x ascending, both in [0, 1]). Monotone cubic
// interpolation keeps it from overshooting between points, so a curve never solarises by accident.
class ToneCurve {
public:
    ToneCurve(std::initializer_list<std::pair<double, double>> points);
    double operator()(double x) const;

private:
    std::vector<double> m_x;
    std::vector<double> m_y;
    std::vector<double> m_slope;
};

// Rec. 709 weights, the luma the engine's saturation control also uses.
double luma(Rgb c);

Rgb clamped(Rgb c);
// The same curve on all three channels.
Rgb curve(Rgb c, const ToneCurve& master);
Rgb curves(Rgb c, const ToneCurve& red, const ToneCurve& green, const ToneCurve& blue);
// amount 0 is grey, 1 unchanged, above 1 more colourful.
Rgb saturate(Rgb c, double amount);
// Each output channel a weighted sum of the inputs (rows: red, green, blue).
Rgb mixChannels(Rgb c, const double (&matrix)[3][3]);
// Pushes the shadows towards one hue and the highlights towards another by adding the tints' offsets
// from grey, weighted by how dark or light the pixel is; amount scales both.
Rgb splitTone(Rgb c, Rgb shadowTint, Rgb highlightTint, double amount);
// Film fade: black is lifted to blackLevel and white lowered to whiteLevel.
Rgb fade(Rgb c, double blackLevel, double whiteLevel);
// Per-channel gains, for warming or cooling the white balance.
Rgb gains(Rgb c, Rgb gain);
// A monochrome of c weighted by the given channel filter (weights summing to 1), as through a coloured
// lens filter on black-and-white film.
Rgb monochrome(Rgb c, Rgb filter);
// a where t is 0, b where t is 1.
Rgb mix(Rgb a, Rgb b, double t);
// Pushes the midtones towards tint's hue (its offset from grey), leaving black and white alone.
Rgb tintMidtones(Rgb c, Rgb tint, double amount);

} // namespace ResourceArt
