#pragma once

// Exact frames for a handle being dragged, decoded on a thread of their own
// while the media stack is still busy with an earlier seek, and handed over
// as video frames the output converts as it does the media stack's. Only the
// latest time asked for is decoded; one asked for while a decode runs
// replaces any still waiting. Between requests the thread decodes the frames
// behind the last one ahead of time, a frame at a time.

#include <QVideoFrame>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace flickbook::platform {

class ScrubFrames {
public:
    // ready runs on the GUI thread with the frame and the time it was asked
    // for; a file that cannot be decoded delivers nothing.
    using Ready = std::function<void(const QVideoFrame& frame, qint64 askedMilliseconds)>;
    ScrubFrames(std::filesystem::path path, Ready ready);
    // Does not wait for a decode in progress (a keyframe's run can take
    // seconds on a slow machine): the thread finishes it, delivers nothing
    // more and is joined later, at the latest as the program ends.
    ~ScrubFrames();
    ScrubFrames(const ScrubFrames&) = delete;
    ScrubFrames& operator=(const ScrubFrames&) = delete;

    void request(qint64 milliseconds);
    // Times a drag is likely to start from (a trimmer's handles): the frames
    // just behind them are decoded between requests, so a drag back from
    // there is answered from memory.
    void keepReadyBehind(std::vector<double> seconds);

    // What the screen and the decoding thread share; the thread holds it
    // past the screen's end.
    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace flickbook::platform
