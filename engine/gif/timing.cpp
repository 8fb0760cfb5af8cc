#include "gif/timing.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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
    list.totalCs = total;
    list.stepCs = step;
    if (step <= 0)
        return list;
    std::size_t standing = 0;
    for (std::int32_t d : delaysCs)
        standing += d / step > 0 ? 1 : 0;
    list.runs.reserve(standing);
    std::uint64_t entry = 0;
    for (std::size_t i = 0; i < delaysCs.size(); ++i) {
        const std::uint64_t count = std::uint64_t(delaysCs[i] / step);
        if (count == 0)
            continue;
        list.runs.push_back({std::uint32_t(i), entry, count});
        entry += count;
    }
    return list;
}

std::uint64_t FrameList::length() const {
    return runs.empty() ? 0 : runs.back().firstEntry + runs.back().count;
}

std::uint32_t FrameList::frameAt(std::uint64_t index) const {
    // The last run starting at or before the index.
    auto after =
        std::upper_bound(runs.begin(), runs.end(), index,
                         [](std::uint64_t i, const Run& run) { return i < run.firstEntry; });
    return after == runs.begin() ? 0 : std::prev(after)->frame;
}

std::uint64_t FrameList::indexAtTime(std::int64_t centiseconds) const {
    const std::uint64_t n = length();
    if (n == 0 || stepCs <= 0 || centiseconds <= 0)
        return 0;
    return (std::uint64_t(centiseconds) / std::uint64_t(stepCs)) % n;
}

} // namespace flickbook::gif
