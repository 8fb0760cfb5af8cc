#pragma once

// Oklab, a perceptual colour space: equal distances look about equally
// different, and lightness is its own axis. Palettes are chosen and matched
// here rather than in sRGB, where dark and saturated colours crowd together.

#include <cstdint>

namespace flickbook::gif {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Lab {
    float l = 0, a = 0, b = 0;
};

Lab toOklab(float r, float g, float b); // sRGB components 0–255, fractions allowed
inline Lab toOklab(Rgb c) {
    return toOklab(c.r, c.g, c.b);
}
Rgb fromOklab(const Lab& c); // rounded and clamped to sRGB

inline float distance2(const Lab& x, const Lab& y) {
    const float dl = x.l - y.l, da = x.a - y.a, db = x.b - y.b;
    return dl * dl + da * da + db * db;
}

} // namespace flickbook::gif
