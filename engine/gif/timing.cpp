#include "gif/timing.h"

#include <cmath>
#include <limits>

namespace flickbook::gif {

ReportedDelays reportedDelays(const std::optional<GraphicControl>& control) {
    if (!control)
        return {};
    const int cs = control->delayCs;
    return {cs / 100.0, (cs <= 1 ? 10 : cs) / 100.0};
}

std::int32_t frameDelayCs(const ReportedDelays& delays) {
    std::optional<double> chosen = delays.unclampedSeconds;
    if (!chosen || *chosen == 0.0)
        chosen = delays.clampedSeconds;
    const double d = chosen.value_or(0.0);
    if (!(d > 0.0))
        return 1; // also not-a-number
    // nearbyint rounds half to even under the default rounding mode.
    const double cs = std::nearbyint(d * 100.0);
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return cs >= kMax ? std::numeric_limits<std::int32_t>::max() : std::int32_t(cs);
}

namespace {
std::int32_t gcd(std::int32_t a, std::int32_t b) {
    while (b != 0) {
        const std::int32_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}
} // namespace

FrameList frameListForDelays(std::span<const std::int32_t> delaysCs) {
    FrameList list;
    if (delaysCs.empty())
        return list;
    std::int64_t total = 0;
    std::int32_t step = delaysCs[0];
    for (std::int32_t d : delaysCs) {
        step = gcd(step, d);
        total += d;
    }
    // Sums past the 32-bit range only arise from tens of thousands of
    // maximal delays; they are held at the largest value rather than wrapped.
    list.totalCs =
        std::int32_t(std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max()));
    list.stepCs = step;
    if (step <= 0)
        return list;
    list.entries.reserve(std::size_t(total / step));
    for (std::size_t i = 0; i < delaysCs.size(); ++i) {
        for (std::int32_t k = 0; k < delaysCs[i] / step; ++k)
            list.entries.push_back(std::uint32_t(i));
    }
    return list;
}

} // namespace flickbook::gif
