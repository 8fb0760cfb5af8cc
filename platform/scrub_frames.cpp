#include "scrub_frames.h"

#include "dispatch.h"
#include "media/frame_scrubber.h"

#include <QVideoFrameFormat>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

namespace flickbook::platform {

struct ScrubFrames::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<qint64> waiting;
    std::optional<std::vector<double>> readyBehind;
    bool stopping = false;
    std::atomic<bool> done{false};
};

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

// Threads of scrubbers gone, still finishing a decode: joined once they
// are done, when the next one is handed over, and all as the program ends.
class FinishingThreads {
public:
    static FinishingThreads& instance() {
        static FinishingThreads threads;
        return threads;
    }
    void add(std::thread thread, std::shared_ptr<const ScrubFrames::Shared> shared) {
        std::lock_guard lock(mutex_);
        std::erase_if(threads_, [](Entry& entry) {
            if (!entry.shared->done)
                return false;
            entry.thread.join();
            return true;
        });
        threads_.push_back({std::move(thread), std::move(shared)});
    }
    ~FinishingThreads() {
        for (Entry& entry : threads_)
            entry.thread.join();
    }

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<const ScrubFrames::Shared> shared;
    };
    std::mutex mutex_;
    std::vector<Entry> threads_;
};

void decodeWhenAsked(const std::filesystem::path& path, const ScrubFrames::Ready& ready,
                     const std::shared_ptr<ScrubFrames::Shared>& shared);

} // namespace

ScrubFrames::ScrubFrames(std::filesystem::path path, Ready ready)
    : shared_(std::make_shared<Shared>()) {
    // The thread has its own copies: it may outlive this object.
    thread_ = std::thread([shared = shared_, path = std::move(path), ready = std::move(ready)] {
        decodeWhenAsked(path, ready, shared);
        shared->done = true;
    });
}

ScrubFrames::~ScrubFrames() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->wake.notify_one();
    FinishingThreads::instance().add(std::move(thread_), shared_);
}

void ScrubFrames::request(qint64 milliseconds) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->waiting = milliseconds;
    }
    shared_->wake.notify_one();
}

void ScrubFrames::keepReadyBehind(std::vector<double> seconds) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->readyBehind = std::move(seconds);
    }
    shared_->wake.notify_one();
}

namespace {

void decodeWhenAsked(const std::filesystem::path& path, const ScrubFrames::Ready& ready,
                     const std::shared_ptr<ScrubFrames::Shared>& shared) {
    // Opened on this thread (opening reads the file) and decoded up to the
    // first frame, where a player stands when it opens, so that the first
    // drag pays for neither; but only once the screen has had a moment to
    // show its first picture and strip, unless a drag comes first.
    {
        std::unique_lock lock(shared->mutex);
        shared->wake.wait_for(lock, std::chrono::milliseconds(kWarmUpDelayMilliseconds),
                              [&] { return shared->stopping || shared->waiting; });
        if (shared->stopping)
            return;
    }
    std::optional<media::FrameScrubber> scrubber;
    if (auto opened = media::FrameScrubber::open(path);
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
            std::unique_lock lock(shared->mutex);
            auto woken = [&] { return shared->stopping || shared->waiting || shared->readyBehind; };
            if (!preparing && preparingOnceRested)
                shared->wake.wait_until(lock, lastRequest + kDragGap, woken);
            else if (!preparing)
                shared->wake.wait(lock, woken);
            if (shared->stopping)
                return;
            asked = std::exchange(shared->waiting, std::nullopt);
            readyBehind = std::exchange(shared->readyBehind, std::nullopt);
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
        // Nothing more for a scrubber let go, even when it goes while
        // the frame is on its way (it goes on the GUI thread).
        dispatch::main([shared, ready, frame, asked = *asked] {
            if (std::lock_guard lock(shared->mutex); shared->stopping)
                return;
            ready(frame, asked);
        });
    }
}

} // namespace

} // namespace flickbook::platform
