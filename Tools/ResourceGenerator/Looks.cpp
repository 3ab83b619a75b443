#include "Looks.h"

namespace ResourceArt {

namespace {

// Moonlit and low-key: dimmed, blue shadows, quiet colour.
Rgb nocturne(Rgb c) {
    c = curve(c, {{0.0, 0.04}, {0.25, 0.16}, {0.6, 0.48}, {1.0, 0.88}});
    c = gains(c, {0.9, 0.97, 1.1});
    c = splitTone(c, {0.15, 0.2, 0.5}, {0.75, 0.8, 0.9}, 0.4);
    return saturate(c, 0.7);
}

// Soft dawn pastel: high-key and airy, lavender shadows, blush-pink highlights, colour washed out.
Rgb prelude(Rgb c) {
    c = fade(c, 0.12, 0.99);
    c = curve(c, {{0.0, 0.0}, {0.3, 0.45}, {0.7, 0.84}, {1.0, 1.0}});
    c = splitTone(c, {0.55, 0.45, 0.8}, {1.0, 0.8, 0.82}, 0.75);
    return saturate(c, 0.6);
}

// Creamy warm matte: milky blacks, softened whites, a cream cast and gentle colour.
Rgb fugue(Rgb c) {
    c = fade(c, 0.14, 0.9);
    c = curve(c, {{0.0, 0.0}, {0.25, 0.2}, {0.75, 0.8}, {1.0, 1.0}});
    c = gains(c, {1.08, 1.01, 0.8});
    return saturate(c, 0.7);
}

// Teal shadows against orange highlights, the blockbuster grade.
Rgb tealAndOrange(Rgb c) {
    c = curve(c, {{0.0, 0.0}, {0.25, 0.2}, {0.75, 0.82}, {1.0, 1.0}});
    c = splitTone(c, {0.0, 0.5, 0.6}, {1.0, 0.6, 0.3}, 1.0);
    return saturate(c, 1.1);
}

// Instant film: faded teal-green shadows, creamy yellowed highlights, soft colour.
Rgb homophony(Rgb c) {
    c = curves(c, {{0.0, 0.05}, {0.5, 0.55}, {1.0, 0.98}}, {{0.0, 0.13}, {0.5, 0.54}, {1.0, 0.95}},
               {{0.0, 0.17}, {0.5, 0.45}, {1.0, 0.76}});
    return saturate(c, 0.75);
}

// Bright opening: open shadows, warm light, lively colour.
Rgb overture(Rgb c) {
    c = curve(c, {{0.0, 0.0}, {0.25, 0.31}, {0.6, 0.71}, {1.0, 1.0}});
    c = gains(c, {1.04, 1.02, 0.95});
    return saturate(c, 1.3);
}

// Stage drama: deep blacks, low-key contrast under warm stage light, rich reds.
Rgb opera(Rgb c) {
    c = curve(c, {{0.0, 0.0}, {0.2, 0.07}, {0.5, 0.4}, {0.8, 0.82}, {1.0, 1.0}});
    c = mixChannels(c, {{1.15, -0.1, -0.05}, {-0.03, 1.03, 0.0}, {-0.05, -0.05, 1.1}});
    c = gains(c, {1.06, 0.96, 0.86});
    return saturate(c, 1.15);
}

// Evening glow: rose shadows, golden highlights, gentle contrast.
Rgb serenade(Rgb c) {
    c = curve(c, {{0.0, 0.03}, {0.5, 0.55}, {1.0, 0.98}});
    c = tintMidtones(c, {0.8, 0.45, 0.55}, 0.35);
    c = splitTone(c, {0.55, 0.25, 0.4}, {1.0, 0.85, 0.55}, 0.5);
    return saturate(c, 0.85);
}

// Sepia-toned monochrome, like an old print.
Rgb chorale(Rgb c) {
    const double y = monochrome(c, {0.3, 0.59, 0.11}).r;
    const double toned = ToneCurve{{0.0, 0.0}, {0.5, 0.52}, {1.0, 1.0}}(y);
    return mix(Rgb{0.12, 0.07, 0.03}, Rgb{1.0, 0.95, 0.84}, toned);
}

// Cross-processed: contrasty red and green, flat yellowed blue.
Rgb rhapsody(Rgb c) {
    c = curves(c, {{0.0, 0.0}, {0.25, 0.17}, {0.75, 0.86}, {1.0, 1.0}},
               {{0.0, 0.0}, {0.3, 0.29}, {0.7, 0.81}, {1.0, 1.0}}, {{0.0, 0.22}, {0.5, 0.45}, {1.0, 0.7}});
    return saturate(c, 1.15);
}

// Cool matte: faded, blue-green, muted.
Rgb symphony(Rgb c) {
    c = fade(c, 0.13, 0.91);
    c = gains(c, {0.94, 1.0, 1.05});
    c = tintMidtones(c, {0.35, 0.6, 0.6}, 0.3);
    return saturate(c, 0.55);
}

// Black-and-white through a yellow filter: darker skies, foliage kept open, a punchy curve.
Rgb etude(Rgb c) {
    c = monochrome(c, {0.36, 0.56, 0.08});
    return curve(c, {{0.0, 0.0}, {0.2, 0.11}, {0.5, 0.55}, {0.8, 0.92}, {1.0, 1.0}});
}

// Golden amber warmth with a touch of fade.
Rgb cantata(Rgb c) {
    c = gains(c, {1.1, 1.0, 0.82});
    c = fade(c, 0.05, 1.0);
    c = curve(c, {{0.0, 0.0}, {0.5, 0.56}, {1.0, 1.0}});
    return splitTone(c, {0.45, 0.3, 0.2}, {1.0, 0.9, 0.6}, 0.3);
}

// Punchy and saturated, with cool shadows.
Rgb march(Rgb c) {
    c = curve(c, {{0.0, 0.0}, {0.2, 0.13}, {0.5, 0.5}, {0.8, 0.88}, {1.0, 1.0}});
    c = saturate(c, 1.5);
    return splitTone(c, {0.2, 0.3, 0.55}, {1.0, 0.95, 0.85}, 0.2);
}

} // namespace

const std::vector<Look>& looks() {
    static const std::vector<Look> table = {
        {"lut_aden_map", "Nocturne", "", nocturne},
        {"lut_caprice_map", "Prelude", "overlay_caprice_darkcorner", prelude},
        {"lut_crema_map", "Fugue", "", fugue},
        {"lut_custom_map", "", "", tealAndOrange},
        {"lut_instant_map", "Homophony", "overlay_instant_darkcorner", homophony},
        {"lut_juno_map", "Overture", "", overture},
        {"lut_lark_map", "Opera", "", opera},
        {"lut_ludwig_map", "Serenade", "", serenade},
        {"lut_pro_map", "Chorale", "overlay_pro_darkcorner", chorale},
        {"lut_reyes_map", "Rhapsody", "", rhapsody},
        {"lut_slumber_map", "Symphony", "", symphony},
        {"lut_tokyo_map", "Etude", "overlay_tokyo_darkcorner", etude},
        {"lut_valencia_map", "Cantata", "", cantata},
        {"lut_vivid_map", "March", "overlay_vivid_darkcorner", march},
    };
    return table;
}

} // namespace ResourceArt
