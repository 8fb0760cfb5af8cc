#include "gif/palette.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace flickbook::gif {

namespace {

constexpr std::uint32_t kGridBits = 6;
constexpr std::uint32_t kCells = 1u << (3 * kGridBits);
constexpr std::size_t kExactSlots = 1024;

std::uint32_t cellOf(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    constexpr int shift = 8 - kGridBits;
    return std::uint32_t(r >> shift) << (2 * kGridBits) | std::uint32_t(g >> shift) << kGridBits |
           std::uint32_t(b >> shift);
}

} // namespace

std::vector<ColourHistogram::Cell>& ColourHistogram::spareCells() {
    thread_local std::vector<Cell> spare;
    return spare;
}

ColourHistogram::ColourHistogram() : exactSet_(kExactSlots, 0) {
    if (spareCells().size() == kCells)
        cells_.swap(spareCells());
    else
        cells_.resize(kCells);
    used_.reserve(4096);
}

ColourHistogram::~ColourHistogram() {
    // Only the cells used were touched; cleared, the grid serves the next frame.
    for (std::uint32_t index : used_)
        cells_[index] = Cell{};
    if (spareCells().empty())
        spareCells().swap(cells_);
}

void ColourHistogram::add(std::uint8_t r, std::uint8_t g, std::uint8_t b, float weight) {
    Cell& cell = cells_[cellOf(r, g, b)];
    if (cell.weight == 0)
        used_.push_back(cellOf(r, g, b));
    cell.weight += weight;
    cell.r += weight * r;
    cell.g += weight * g;
    cell.b += weight * b;

    if (exactOverflow_)
        return;
    const std::uint32_t key = (std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b) + 1;
    std::uint32_t slot = (key * 2654435761u) >> 22; // 10 bits
    while (exactSet_[slot] != 0) {
        if (exactSet_[slot] == key)
            return;
        slot = (slot + 1) & (kExactSlots - 1);
    }
    if (exact_.size() == kExactLimit) {
        exactOverflow_ = true;
        exact_.clear();
        return;
    }
    exactSet_[slot] = key;
    exact_.push_back({r, g, b});
}

std::vector<ColourSample> ColourHistogram::samples() const {
    std::vector<ColourSample> out;
    out.reserve(used_.size());
    for (std::uint32_t index : used_) {
        const Cell& c = cells_[index];
        out.push_back({toOklab(c.r / c.weight, c.g / c.weight, c.b / c.weight), c.weight});
    }
    return out;
}

namespace {

struct Box {
    std::size_t begin = 0, end = 0;
    double weight = 0;
    double sse = 0; // weighted squared error around the mean
    int axis = 0;   // the axis of largest spread
};

float axisValue(const Lab& c, int axis) {
    return axis == 0 ? c.l : axis == 1 ? c.a : c.b;
}

Box measure(std::span<const ColourSample> s, std::size_t begin, std::size_t end) {
    Box box{begin, end};
    double sum[3] = {0, 0, 0}, sum2[3] = {0, 0, 0};
    for (std::size_t i = begin; i < end; ++i) {
        const double w = s[i].weight;
        const double v[3] = {s[i].lab.l, s[i].lab.a, s[i].lab.b};
        box.weight += w;
        for (int k = 0; k < 3; ++k) {
            sum[k] += w * v[k];
            sum2[k] += w * v[k] * v[k];
        }
    }
    double best = -1;
    for (int k = 0; k < 3; ++k) {
        const double var = box.weight > 0 ? sum2[k] - sum[k] * sum[k] / box.weight : 0;
        box.sse += std::max(0.0, var);
        if (var > best) {
            best = var;
            box.axis = k;
        }
    }
    return box;
}

Lab weightedMean(std::span<const ColourSample> s, std::size_t begin, std::size_t end) {
    double w = 0, l = 0, a = 0, b = 0;
    for (std::size_t i = begin; i < end; ++i) {
        w += s[i].weight;
        l += s[i].weight * s[i].lab.l;
        a += s[i].weight * s[i].lab.a;
        b += s[i].weight * s[i].lab.b;
    }
    if (w <= 0)
        return s[begin].lab;
    return {float(l / w), float(a / w), float(b / w)};
}

std::vector<Lab> medianCut(std::vector<ColourSample>& s, std::size_t maxColours) {
    std::vector<Box> boxes{measure(s, 0, s.size())};
    while (boxes.size() < maxColours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(),
                                       [](const Box& x, const Box& y) { return x.sse < y.sse; });
        if (widest->sse <= 0 || widest->end - widest->begin < 2)
            break;
        const Box box = *widest;
        auto first = s.begin() + std::ptrdiff_t(box.begin);
        auto last = s.begin() + std::ptrdiff_t(box.end);
        std::sort(first, last, [axis = box.axis](const ColourSample& x, const ColourSample& y) {
            return axisValue(x.lab, axis) < axisValue(y.lab, axis);
        });
        double running = 0;
        std::size_t split = box.begin + 1;
        for (std::size_t i = box.begin; i < box.end - 1; ++i) {
            running += s[i].weight;
            split = i + 1;
            if (running >= box.weight / 2)
                break;
        }
        *widest = measure(s, box.begin, split);
        boxes.push_back(measure(s, split, box.end));
    }
    std::vector<Lab> centres;
    centres.reserve(boxes.size());
    for (const Box& box : boxes)
        centres.push_back(weightedMean(s, box.begin, box.end));
    return centres;
}

void refine(std::span<const ColourSample> s, std::vector<Lab>& centres, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        const PaletteMatcher matcher{std::span<const Lab>(centres)};
        std::vector<double> w(centres.size()), l(centres.size()), a(centres.size()),
            b(centres.size());
        for (const ColourSample& c : s) {
            const auto k = std::size_t(matcher.nearest(c.lab));
            w[k] += c.weight;
            l[k] += c.weight * c.lab.l;
            a[k] += c.weight * c.lab.a;
            b[k] += c.weight * c.lab.b;
        }
        for (std::size_t k = 0; k < centres.size(); ++k)
            if (w[k] > 0)
                centres[k] = {float(l[k] / w[k]), float(a[k] / w[k]), float(b[k] / w[k])};
    }
}

} // namespace

std::vector<Rgb> choosePalette(std::span<const ColourSample> samples, std::size_t maxColours) {
    if (samples.empty() || maxColours == 0)
        return {};
    std::vector<ColourSample> work(samples.begin(), samples.end());
    std::vector<Lab> centres = medianCut(work, maxColours);
    refine(work, centres, 3);
    std::vector<Rgb> palette;
    palette.reserve(centres.size());
    for (const Lab& c : centres)
        palette.push_back(fromOklab(c));
    return palette;
}

PaletteMatcher::PaletteMatcher(std::span<const Rgb> palette) {
    entries_.reserve(palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i)
        entries_.push_back({toOklab(palette[i]), int(i)});
    sortByLightness();
}

PaletteMatcher::PaletteMatcher(std::span<const Lab> palette) {
    entries_.reserve(palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i)
        entries_.push_back({palette[i], int(i)});
    sortByLightness();
}

void PaletteMatcher::sortByLightness() {
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& x, const Entry& y) { return x.lab.l < y.lab.l; });
}

int PaletteMatcher::nearest(const Lab& c, float* distance2Out) const {
    if (entries_.empty())
        return -1;
    const auto start = std::lower_bound(entries_.begin(), entries_.end(), c.l,
                                        [](const Entry& e, float l) { return e.lab.l < l; });
    float best = std::numeric_limits<float>::max();
    int bestIndex = -1;
    // Walk up and down from the closest lightness; the lightness gap alone
    // bounds the distance of everything farther out.
    auto up = start;
    auto down = start;
    bool upOpen = up != entries_.end(), downOpen = down != entries_.begin();
    while (upOpen || downOpen) {
        if (upOpen) {
            const float dl = up->lab.l - c.l;
            if (dl * dl >= best) {
                upOpen = false;
            } else {
                const float d = distance2(up->lab, c);
                if (d < best) {
                    best = d;
                    bestIndex = up->index;
                }
                upOpen = ++up != entries_.end();
            }
        }
        if (downOpen) {
            --down;
            const float dl = c.l - down->lab.l;
            if (dl * dl >= best) {
                downOpen = false;
            } else {
                const float d = distance2(down->lab, c);
                if (d < best) {
                    best = d;
                    bestIndex = down->index;
                }
                downOpen = down != entries_.begin();
            }
        }
    }
    if (distance2Out)
        *distance2Out = best;
    return bestIndex;
}

double PaletteMatcher::error(std::span<const ColourSample> samples) const {
    double total = 0;
    for (const ColourSample& s : samples) {
        float d = 0;
        nearest(s.lab, &d);
        total += double(s.weight) * d;
    }
    return total;
}

} // namespace flickbook::gif
