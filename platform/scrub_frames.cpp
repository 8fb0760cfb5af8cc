#include "scrub_frames.h"

#include "dispatch.h"
#include "media/frame_scrubber.h"

#include <QVideoFrameFormat>
#include <chrono>
#include <cstring>
#include <utility>

namespace flickbook::platform {

namespace {

constexpr int kWarmUpDelayMilliseconds = 1000;

QVideoFrame toVideoFrame(const media::PlanarPicture& picture) {
    QVideoFrameFormat format(QSize(picture.width, picture.height),
                             QVideoFrameFormat::Format_YUV420P);
    switch (picture.matrix) {
    case media::PlanarPicture::Matrix::Bt601:
        format.setColorSpace(QVideoFrameFormat::ColorSpace_BT601);
        break;
    case media::PlanarPicture::Matrix::Bt709:
        format.setColorSpace(QVideoFrameFormat::ColorSpace_BT709);
        break;
    case media::PlanarPicture::Matrix::Bt2020:
        format.setColorSpace(QVideoFrameFormat::ColorSpace_BT2020);
        break;
    }
    format.setColorRange(picture.fullRange ? QVideoFrameFormat::ColorRange_Full
                                           : QVideoFrameFormat::ColorRange_Video);
    QVideoFrame frame(format);
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    const std::uint8_t* planes[3] = {picture.y(), picture.cb(), picture.cr()};
    for (int p = 0; p < 3; ++p) {
        const int width = p == 0 ? picture.width : picture.chromaWidth();
        const int rows = p == 0 ? picture.height : picture.chromaHeight();
        for (int r = 0; r < rows; ++r)
            std::memcpy(frame.bits(p) + std::ptrdiff_t(r) * frame.bytesPerLine(p),
                        planes[p] + std::size_t(r) * width, std::size_t(width));
    }
    frame.unmap();
    return frame;
}

} // namespace

ScrubFrames::ScrubFrames(std::filesystem::path path, Ready ready)
    : path_(std::move(path)), ready_(std::move(ready)), thread_([this] { run(); }) {}

ScrubFrames::~ScrubFrames() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ScrubFrames::request(qint64 milliseconds) {
    {
        std::lock_guard lock(mutex_);
        waiting_ = milliseconds;
    }
    wake_.notify_one();
}

void ScrubFrames::keepReadyBehind(std::vector<double> seconds) {
    {
        std::lock_guard lock(mutex_);
        readyBehind_ = std::move(seconds);
    }
    wake_.notify_one();
}

void ScrubFrames::run() {
    // Opened on this thread (opening reads the file) and decoded up to the
    // first frame, where a player stands when it opens, so that the first
    // drag pays for neither; but only once the screen has had a moment to
    // show its first picture and strip, unless a drag comes first.
    {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(kWarmUpDelayMilliseconds),
                       [this] { return stopping_ || waiting_; });
        if (stopping_)
            return;
    }
    std::optional<media::FrameScrubber> scrubber;
    if (auto opened = media::FrameScrubber::open(path_);
        opened && opened->rotation() == 0 && opened->frameAt(0.0)) {
        scrubber.emplace(std::move(*opened));
    }
    // Turned frames, and files FFmpeg cannot read, are left to the media
    // stack: requests are then only taken off the queue.
    using Clock = std::chrono::steady_clock;
    // Requests closer together than this are a drag under way.
    constexpr auto kDragGap = std::chrono::milliseconds(250);
    Clock::time_point lastRequest{};
    bool preparing = false, preparingOnceRested = false;
    for (;;) {
        std::optional<qint64> asked;
        std::optional<std::vector<double>> readyBehind;
        {
            std::unique_lock lock(mutex_);
            auto woken = [this] { return stopping_ || waiting_ || readyBehind_; };
            if (!preparing && preparingOnceRested)
                wake_.wait_until(lock, lastRequest + kDragGap, woken);
            else if (!preparing)
                wake_.wait(lock, woken);
            if (stopping_)
                return;
            asked = std::exchange(waiting_, std::nullopt);
            readyBehind = std::exchange(readyBehind_, std::nullopt);
        }
        if (!scrubber)
            continue;
        if (readyBehind)
            scrubber->keepReadyBehind(std::move(*readyBehind));
        if (!asked) {
            const bool dragUnderWay = Clock::now() - lastRequest < kDragGap;
            preparing = scrubber->prepareStep(dragUnderWay);
            preparingOnceRested = !preparing && dragUnderWay;
            continue;
        }
        lastRequest = Clock::now();
        preparing = true;
        auto planes = scrubber->frameAt(double(*asked) / 1000.0);
        if (!planes)
            continue;
        QVideoFrame frame = toVideoFrame(**planes);
        if (!frame.isValid())
            continue;
        dispatch::main([ready = ready_, frame, asked = *asked] { ready(frame, asked); });
    }
}

} // namespace flickbook::platform
