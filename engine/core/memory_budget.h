#pragma once

// Memory that the contents of a file may make the engine hold, counted before
// it is allocated. A decoder takes every buffer a file asks for (canvases,
// index buffers, kept frames, per-frame records) from one budget, so a small
// hostile file is refused instead of growing the process without bound.
//
// Counts are of what the heap really hands out: whole vector capacities, and
// small blocks rounded up the way the C library's allocator rounds them.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace flickbook {

class MemoryBudget {
public:
    explicit MemoryBudget(std::uint64_t limit = std::numeric_limits<std::uint64_t>::max())
        : limit_(limit) {}

    std::uint64_t limit() const { return limit_; }
    std::uint64_t used() const { return used_; }
    // The most that was ever held at once.
    std::uint64_t peak() const { return peak_; }

    // Takes bytes from the budget; false, taking nothing, when that would pass
    // the limit.
    [[nodiscard]] bool take(std::uint64_t bytes) {
        if (bytes > limit_ - used_)
            return false;
        used_ += bytes;
        peak_ = std::max(peak_, used_);
        return true;
    }

    void give(std::uint64_t bytes) { used_ -= std::min(bytes, used_); }

private:
    std::uint64_t limit_;
    std::uint64_t used_ = 0;
    std::uint64_t peak_ = 0;
};

// What the heap takes for a block of n bytes: glibc's malloc adds an 8-byte
// header, rounds to 16 and never gives less than 32.
constexpr std::uint64_t heapBytes(std::uint64_t n) {
    return n == 0 ? 0 : std::max<std::uint64_t>(32, (n + 8 + 15) & ~std::uint64_t(15));
}

// Gives v room for exactly `count` elements when it has less, counting the
// new storage against the budget while the old one is still alive (as it is
// during the move). False, with v unchanged, when the budget would pass. May
// throw std::bad_alloc like any vector.
template <typename T>
[[nodiscard]] bool reserveCounted(std::vector<T>& v, std::size_t count, MemoryBudget& budget) {
    if (count <= v.capacity())
        return true;
    const std::uint64_t newBytes = heapBytes(std::uint64_t(count) * sizeof(T));
    const std::uint64_t oldBytes = heapBytes(std::uint64_t(v.capacity()) * sizeof(T));
    if (!budget.take(newBytes))
        return false;
    try {
        v.reserve(count);
    } catch (...) {
        budget.give(newBytes);
        throw;
    }
    budget.give(oldBytes);
    return true;
}

// Room for one more element, growing geometrically so that a list built one
// element at a time stays cheap.
template <typename T> [[nodiscard]] bool roomForOneMore(std::vector<T>& v, MemoryBudget& budget) {
    if (v.size() < v.capacity())
        return true;
    return reserveCounted(v, std::max<std::size_t>(8, v.capacity() * 2), budget);
}

} // namespace flickbook
