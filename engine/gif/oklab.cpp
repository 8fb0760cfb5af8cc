#include "gif/oklab.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace flickbook::gif {

namespace {

float srgbToLinear(float v) {
    v /= 255.0f;
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

float linearToSrgb(float v) {
    v = std::clamp(v, 0.0f, 1.0f);
    return 255.0f * (v <= 0.0031308f ? v * 12.92f : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f);
}

// Whole sRGB values are by far the most common input; they come from a table.
const std::array<float, 256>& linearTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[std::size_t(i)] = srgbToLinear(float(i));
        return t;
    }();
    return table;
}

float toLinear(float v) {
    const float rounded = std::round(v);
    if (rounded == v && v >= 0 && v <= 255)
        return linearTable()[std::size_t(v)];
    return srgbToLinear(std::clamp(v, 0.0f, 255.0f));
}

} // namespace

Lab toOklab(float r8, float g8, float b8) {
    const float r = toLinear(r8), g = toLinear(g8), b = toLinear(b8);
    const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
    const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
    const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
    return {0.2104542553f * l + 0.7936177850f * m - 0.0040720403f * s,
            1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
            0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

Rgb fromOklab(const Lab& c) {
    const float l = c.l + 0.3963377774f * c.a + 0.2158037573f * c.b;
    const float m = c.l - 0.1055613458f * c.a - 0.0638541728f * c.b;
    const float s = c.l - 0.0894841775f * c.a - 1.2914855480f * c.b;
    const float l3 = l * l * l, m3 = m * m * m, s3 = s * s * s;
    const float r = 4.0767416621f * l3 - 3.3077115913f * m3 + 0.2309699292f * s3;
    const float g = -1.2684380046f * l3 + 2.6097574011f * m3 - 0.3413193965f * s3;
    const float b = -0.0041960863f * l3 - 0.7034186147f * m3 + 1.7076147010f * s3;
    auto to8 = [](float v) { return std::uint8_t(std::lround(linearToSrgb(v))); };
    return {to8(r), to8(g), to8(b)};
}

} // namespace flickbook::gif
