#include "media/frame_scrubber.h"

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace flickbook::media {

namespace {
// Frame times from one file compare exactly; this only absorbs the rounding
// of a time computed from a frame number.
constexpr double kSameTime = 1e-6;

std::size_t bytesOf(const PlanarPicture& picture) {
    return PlaneAllocator<std::uint8_t>::footprint(picture.samples.capacity());
}

// What the reader's current frame takes as 4:2:0 planes.
std::size_t pictureBytes(const FrameReader& reader) {
    const AVCodecContext* decoder = reader.source().decoder();
    const std::size_t w = std::size_t(std::max(decoder->width, 1));
    const std::size_t h = std::size_t(std::max(decoder->height, 1));
    return PlaneAllocator<std::uint8_t>::footprint(w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2));
}
} // namespace

Result<FrameScrubber> FrameScrubber::open(const std::filesystem::path& path,
                                          std::size_t memoryBytes) {
    auto ahead = VideoSource::open(path);
    if (!ahead)
        return ahead.error();
    auto behind = VideoSource::open(path);
    if (!behind)
        return behind.error();
    return FrameScrubber(std::move(*ahead), std::move(*behind), memoryBytes);
}

FrameScrubber::FrameScrubber(VideoSource ahead, VideoSource behind, std::size_t memoryBytes)
    : ahead_(FrameReader(std::move(ahead))), behind_(FrameReader(std::move(behind))),
      halfFrame_(ahead_.reader.source().halfFrameSeconds()), memoryBytes_(memoryBytes) {}

double FrameScrubber::wantedFor(double seconds) const {
    // Times come rounded to the millisecond: a frame's middle may arrive up
    // to half a millisecond late, which must not make it the next frame's.
    const double rounding = std::min(1e-3, halfFrame_ / 4);
    double wanted = std::max(seconds - halfFrame_ - rounding, 0.0);
    // Past the end, the last frame stands for the rest.
    if (lastFrame_)
        wanted = std::min(wanted, *lastFrame_);
    return wanted;
}

Result<void> FrameScrubber::seek(Track& track, double seconds) {
    track.previous.reset();
    track.fromStart = seconds <= 0.0;
    return track.reader.seekTo(seconds);
}

double FrameScrubber::distanceToNearest(double seconds) const {
    // Distance to the stretch behind each time that matters, zero inside it.
    // The frames of a drag under way come before those behind a place a
    // drag may start from.
    double nearest = std::numeric_limits<double>::infinity();
    auto consider = [&](double t, double penalty) {
        const double from = t - kReadyBehindSeconds;
        const double d = seconds < from ? from - seconds : std::max(seconds - t, 0.0);
        nearest = std::min(nearest, d + penalty);
    };
    if (dragBack_)
        consider(*dragBack_, 0.0);
    for (double t : readyBehind_)
        consider(t, kReadyBehindSeconds);
    return std::isfinite(nearest) ? nearest : 0.0;
}

bool FrameScrubber::keep(Track& track) {
    const double t = track.reader.currentTime();
    const std::optional<double> previous = track.previous;
    const bool fromStart = track.fromStart;
    track.previous = t;
    track.fromStart = false;
    // Decoded one after the other, the frame before is this one's
    // predecessor when it is kept right before it; the first frame of a run
    // from the file's start has none. A frame stamped no later than the one
    // before it says nothing of what lies between.
    const auto linkedAt = [&](std::map<double, Kept>::iterator at) {
        if (!previous)
            return fromStart && at == kept_.begin();
        return *previous < t && at != kept_.begin() && std::prev(at)->first == *previous;
    };
    if (previous && *previous >= t)
        return true;
    if (auto known = kept_.find(t); known != kept_.end()) {
        known->second.linked = known->second.linked || linkedAt(known);
        return true;
    }
    const double distance = distanceToNearest(t);
    const std::size_t bytes = pictureBytes(track.reader);
    if (bytes > memoryBytes_)
        return false;
    while (keptBytes_ + bytes > memoryBytes_ && !kept_.empty()) {
        auto farthest = std::max_element(kept_.begin(), kept_.end(), [&](auto& a, auto& b) {
            return distanceToNearest(a.first) < distanceToNearest(b.first);
        });
        if (distanceToNearest(farthest->first) <= distance)
            return false; // memory is full of frames that matter more
        if (auto after = std::next(farthest); after != kept_.end())
            after->second.linked = false;
        keptBytes_ -= bytesOf(farthest->second.picture);
        spare_.push_back(std::move(farthest->second.picture));
        kept_.erase(farthest);
    }
    // Memory let go is used again when it is the size this frame takes.
    PlanarPicture picture;
    while (!spare_.empty() && !picture.samples.capacity()) {
        if (bytesOf(spare_.back()) == bytes)
            picture = std::move(spare_.back());
        spare_.pop_back();
    }
    if (!track.reader.copyCurrentPlanes(picture))
        return false;
    keptBytes_ += bytesOf(picture);
    auto at = kept_.emplace(t, Kept{std::move(picture), false}).first;
    at->second.linked = linkedAt(at);
    return true;
}

const FrameScrubber::Kept* FrameScrubber::keptAnswer(double wanted) const {
    auto it = kept_.lower_bound(wanted - kSameTime);
    if (it == kept_.end())
        return nullptr;
    // With its predecessor kept, nothing lies between the two; without, only
    // a frame at the time itself is sure to be the first from there.
    if (it->second.linked || it->first <= wanted + kSameTime)
        return &it->second;
    return nullptr;
}

Result<const PlanarPicture*> FrameScrubber::frameAt(double seconds) {
    const double wanted = wantedFor(seconds);
    // Going back, the frames behind this one are wanted next; going forward,
    // they are behind the decoder, which goes on from here, and a run
    // filling in behind the drag is of no more use.
    if (lastAsked_ && seconds < *lastAsked_) {
        dragBack_ = seconds;
    } else if (!lastAsked_ || seconds > *lastAsked_) {
        dragBack_.reset();
        if (fill_ && fill_->forDrag)
            fill_.reset();
    }
    lastAsked_ = seconds;
    fillStopped_ = false;
    lastFillTarget_.reset();
    if (const Kept* known = keptAnswer(wanted))
        return &known->picture;

    FrameReader& reader = ahead_.reader;
    const double current = reader.currentTime();
    // Behind the frame shown, or a keyframe between here and there: start
    // again from the keyframe before the time.
    const double key = reader.source().keyframeAtOrBefore(seconds);
    const bool behind = haveFrame_ && current > wanted + 2 * halfFrame_;
    const bool keyAhead = std::isfinite(key) && key > (haveFrame_ ? current : 0.0) + halfFrame_;
    if (behind || keyAhead) {
        if (auto sought = seek(ahead_, wanted); !sought)
            return sought.error();
        haveFrame_ = false;
    }
    while (!haveFrame_ || reader.currentTime() < wanted - kSameTime) {
        auto more = reader.next();
        if (!more) {
            ahead_.previous.reset();
            return more.error();
        }
        if (!*more) {
            // The end: the last frame stays current, and stands for any
            // later time.
            if (haveFrame_)
                lastFrame_ = reader.currentTime();
            break;
        }
        ++decoded_;
        haveFrame_ = true;
        // The frames passed on the way back are the next ones wanted.
        if (dragBack_) {
            keep(ahead_);
        } else {
            ahead_.previous.reset();
            ahead_.fromStart = false;
        }
    }
    if (!haveFrame_)
        return makeError("media.no_frame", "The video has no frame to show.");
    if (auto copied = reader.copyCurrentPlanes(shown_); !copied)
        return copied.error();
    return &shown_;
}

void FrameScrubber::keepReadyBehind(std::vector<double> seconds) {
    readyBehind_ = std::move(seconds);
    fillStopped_ = false;
    lastFillTarget_.reset();
}

std::optional<FrameScrubber::Fill> FrameScrubber::missingBehind(double t) const {
    const double wanted = wantedFor(t);
    if (!keptAnswer(wanted))
        return Fill{wanted, wanted, true}; // the frame itself first
    for (auto it = kept_.lower_bound(wanted - kSameTime); it->first > t - kReadyBehindSeconds;
         --it) {
        if (!it->second.linked) // the frames before this one
            return Fill{it->first, it->first - halfFrame_, false};
        if (it == kept_.begin())
            return std::nullopt; // the file's first frame
    }
    return std::nullopt;
}

bool FrameScrubber::prepareStep(bool dragUnderWay) {
    if (fillStopped_)
        return false;
    if (dragUnderWay && fill_ && !fill_->forDrag)
        fill_.reset(); // taken up again once the drag rests
    if (!fill_) {
        std::optional<Fill> next;
        if (dragBack_)
            next = missingBehind(*dragBack_);
        if (next)
            next->forDrag = true;
        else if (dragUnderWay)
            return false;
        for (auto t = readyBehind_.begin(); !next && t != readyBehind_.end(); ++t)
            next = missingBehind(*t);
        // A run that did not get its frames kept would only be made again.
        if (!next || next->upTo == lastFillTarget_ || !seek(behind_, next->from)) {
            fillStopped_ = true;
            return false;
        }
        fill_ = next;
        lastFillTarget_ = next->upTo;
    }
    const bool firstOfRun = !behind_.previous;
    auto more = behind_.reader.next();
    if (more && !*more && behind_.previous && fill_->frameItself) {
        // The time lies past the end: the last frame answers it, and the
        // frames behind it are filled in from there.
        lastFrame_ = behind_.reader.currentTime();
        fill_.reset();
        return true;
    }
    bool kept = false;
    if (more && *more) {
        ++decoded_;
        kept = keep(behind_);
    }
    if (!kept) {
        behind_.previous.reset();
        // The end of the file, a frame that cannot be decoded, or memory
        // full of frames nearer where the drag is: nothing more to do until
        // the next request.
        fill_.reset();
        fillStopped_ = true;
        return false;
    }
    const bool reached = behind_.reader.currentTime() >= fill_->upTo - kSameTime;
    if (reached && firstOfRun && !fill_->frameItself && fill_->from > 0.0) {
        // The seek landed on the frame itself: an index that counts in
        // decoding time can place its keyframe after the time asked for.
        // Look further back.
        fill_->from = std::max(fill_->from - fill_->backoff, 0.0);
        fill_->backoff *= 2;
        if (!seek(behind_, fill_->from)) {
            fill_.reset();
            fillStopped_ = true;
        }
        return true;
    }
    if (reached)
        fill_.reset();
    return true;
}

} // namespace flickbook::media
