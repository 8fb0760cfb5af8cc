#include "render/budget_guard.h"

#include <algorithm>

namespace flickbook::render {

namespace {

// Frames written at a new quality before the course is read again, and the
// least share of the animation they must bring: the frames of a quiet
// stretch bring too few bytes to tell a rate.
constexpr std::size_t kLeastFrames = 4;
constexpr double kLeastShare = 0.1;

} // namespace

BudgetGuard::BudgetGuard(std::uint64_t budget, std::vector<std::uint64_t> course, int quality)
    : budget_(budget), course_(std::move(course)), quality_(quality),
      lowest_(std::max(1, quality - kMostBelow)) {}

double BudgetGuard::shareAt(std::size_t written) const {
    if (written == 0 || course_.empty())
        return 0;
    const std::size_t at = std::min(written, course_.size()) - 1;
    return double(course_[at]) / double(std::max<std::uint64_t>(1, course_.back()));
}

int BudgetGuard::next(std::size_t added, std::size_t written, std::uint64_t bytes) {
    const std::size_t frames = course_.size();
    // The frames in flight when the quality changed keep the one they were
    // given: the new one is read from the first frame given after it.
    if (changedAt_ && !base_ && written >= *changedAt_)
        base_ = Seen{written, bytes};
    // Before three quarters of the frames, the course says too little of
    // where the file heads: a GIF four times the pass's size may spend its
    // bytes earlier than the pass did (the 1080p car clip's GIFs read 11-41%
    // over at half their frames, 2-7% at three quarters).
    if (frames == 0 || 4 * written < 3 * frames || written >= frames || quality_ <= lowest_)
        return quality_;
    double heading = 0;
    if (!changedAt_) {
        heading = double(bytes) / std::max(1e-9, shareAt(written));
    } else {
        // What the frames since the quality changed brought, against what
        // they brought the pass, carried on over the frames still to come.
        if (!base_ || written < base_->written + kLeastFrames)
            return quality_;
        const double since = shareAt(written) - shareAt(base_->written);
        if (since < kLeastShare)
            return quality_;
        const double rate = double(bytes - base_->bytes) / since;
        heading = double(bytes) + rate * (1 - shareAt(written));
    }
    if (heading > kTrigger * double(budget_)) {
        quality_ = std::max(lowest_, quality_ - kStep);
        changedAt_ = added;
        base_.reset();
    }
    return quality_;
}

} // namespace flickbook::render
