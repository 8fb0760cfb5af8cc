#pragma once

// Keeps an encode that is heading a little over its budget under it. An
// estimate may miss a GIF's size by several per cent, and a GIF that passes
// its budget on its last frames would otherwise be made again, whole, at a
// smaller size. A small pass over the same frames tells what share of the
// animation's bytes each frame brings (a clip's motion comes and goes, and
// with it the bytes): from three quarters of the frames on, the file's bytes
// over the share the pass had by then tell where the whole file is heading.
// Where that is past the budget, the frames still to come let slightly larger
// changes go unstored: a lower encoder quality, a step at a time, a few steps
// at most.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace flickbook::render {

class BudgetGuard {
public:
    // budget: the bytes the file must stay within; course: for each frame,
    // the bytes a pass over the same frames had once it was written (the
    // header included); quality: the one the file is made at.
    BudgetGuard(std::uint64_t budget, std::vector<std::uint64_t> course, int quality);

    // Before a frame is given to the encoder: `added` frames given so far,
    // of which `written` are in the file, which holds `bytes`. The quality
    // to give this frame and those after it.
    int next(std::size_t added, std::size_t written, std::uint64_t bytes);

    // How far below the quality asked the guard may go, and by how much at
    // a time: ten steps take about a sixth off a frame at the lowest quality.
    static constexpr int kStep = 5;
    static constexpr int kMostBelow = 15;
    // The share of the budget a file may be heading for before the guard
    // steps in: the course says where it heads to a per cent or two.
    static constexpr double kTrigger = 0.99;

private:
    // The share of the pass's bytes its first `written` frames brought.
    double shareAt(std::size_t written) const;

    std::uint64_t budget_;
    std::vector<std::uint64_t> course_;
    int quality_;
    int lowest_;
    // Once the quality changed: the first frame given at the current one,
    // and the file's frames and bytes once the frames before it were
    // written.
    struct Seen {
        std::size_t written = 0;
        std::uint64_t bytes = 0;
    };
    std::optional<std::size_t> changedAt_;
    std::optional<Seen> base_;
};

} // namespace flickbook::render
