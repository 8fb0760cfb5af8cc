#pragma once

// Exact frames for a handle being dragged along a video.
//
// Forward: decoding goes on from the frame shown last when the next time
// lies ahead of it with no keyframe in between, so a handle moved forward a
// little costs the few frames it passes, not a seek and the run of frames
// since the keyframe.
//
// Backward: between requests a second decoder decodes the frames just
// behind the times a caller expects a drag to start from (a trimmer's
// handles) and, while a drag goes back, behind the last time asked for, a
// keyframe's run at a time, and keeps them in memory (up to a bound). A
// handle dragged back then finds its frames ready instead of decoding each
// one again from the keyframe before it.

#include "core/result.h"
#include "media/frame_reader.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

namespace flickbook::media {

class FrameScrubber {
public:
    // How much decoded picture is kept at most.
    static constexpr std::size_t kDefaultMemoryBytes = std::size_t(512) << 20;
    // How far behind a time its frames are made ready.
    static constexpr double kReadyBehindSeconds = 2.5;

    static Result<FrameScrubber> open(const std::filesystem::path& path,
                                      std::size_t memoryBytes = kDefaultMemoryBytes);

    // The frame whose middle lies nearest to t: the first frame at or after
    // t less half a frame interval, the last frame for t past the end. The
    // picture is the scrubber's own, valid until its next call: a frame is
    // handed over without being copied again.
    Result<const PlanarPicture*> frameAt(double seconds);

    // Times a drag is likely to start from; replaces the earlier ones.
    void keepReadyBehind(std::vector<double> seconds);
    // Decodes one frame towards the frames to have ready behind the times
    // given to keepReadyBehind() and a drag going back: false when
    // they are all ready (or as many as memory holds), or the video cannot
    // be read there. Runs between requests; each call is one frame's work.
    // While a drag is under way only the frames behind a drag going back
    // are decoded: the rest would take the cores from the drag.
    bool prepareStep(bool dragUnderWay = false);

    // Degrees clockwise the frames are to be turned when shown.
    int rotation() const { return ahead_.reader.source().rotation(); }
    // Frames decoded so far, for measuring what a run of requests cost.
    long decodedFrames() const { return decoded_; }
    // Frames kept in memory, and the memory they hold.
    std::size_t keptFrames() const { return kept_.size(); }
    std::size_t keptBytes() const { return keptBytes_; }

private:
    // A decoder and where it stands in a run of frames decoded one after
    // another since its last seek.
    struct Track {
        explicit Track(FrameReader r) : reader(std::move(r)) {}
        FrameReader reader;
        std::optional<double> previous; // the frame decoded before, in this run
        bool fromStart = true;          // the run began at the file's first frame
    };
    struct Kept {
        PlanarPicture picture;
        // The kept frame before this one is the frame shown just before it
        // (or this is the file's first frame): the frames from there to here
        // are all kept.
        bool linked = false;
    };

    // A run of frames to decode behind: from a seek to `from` up to the
    // frame at `upTo`, which is either a frame already kept or, when
    // frameItself, the frame answering a time.
    struct Fill {
        double upTo;
        double from;
        bool frameItself;
        double backoff = 0.5;
        bool forDrag = false;
    };

    FrameScrubber(VideoSource ahead, VideoSource behind, std::size_t memoryBytes);
    Result<void> seek(Track& track, double seconds);
    // Keeps the track's current frame; false when memory is full of frames
    // nearer the times that matter.
    bool keep(Track& track);
    // The kept frame an exact request for wanted shows, if it is known.
    const Kept* keptAnswer(double wanted) const;
    // The run that fills in the frames behind t, or nothing when they are
    // ready.
    std::optional<Fill> missingBehind(double t) const;
    double distanceToNearest(double seconds) const;
    // The time whose first frame at or after it answers a request for t.
    double wantedFor(double seconds) const;

    Track ahead_;  // answers requests, going on from the frame shown last
    Track behind_; // fills in the frames behind
    double halfFrame_;
    std::size_t memoryBytes_;
    bool haveFrame_ = false;
    long decoded_ = 0;

    // The last frame the decoder ahead answered with, its memory reused.
    PlanarPicture shown_;
    std::map<double, Kept> kept_;
    std::size_t keptBytes_ = 0;
    // Pictures let go of, whose memory the next kept frames reuse: fresh
    // memory costs a page fault per page when first written.
    std::vector<PlanarPicture> spare_;
    std::optional<double> lastAsked_;
    std::optional<double> dragBack_;  // the last time asked, when it went back
    std::optional<double> lastFrame_; // the file's last frame, once a decoder reached it
    std::vector<double> readyBehind_;
    // The behind decoder's current run, the frame the last run was to
    // reach, and whether filling in is over until the next request.
    std::optional<Fill> fill_;
    std::optional<double> lastFillTarget_;
    bool fillStopped_ = false;
};

} // namespace flickbook::media
