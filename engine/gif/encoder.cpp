#include "gif/encoder.h"

#include "gif/block_writer.h"
#include "gif/frame_quantizer.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace flickbook::gif {

namespace {

Error outOfMemory() {
    return makeError("gif.out_of_memory", "There is not enough memory to encode the GIF.");
}

Error noThreads(const std::system_error& e) {
    return makeError("gif.no_threads",
                     std::string("The encoder cannot start its worker threads: ") + e.what() + ".");
}

unsigned coreCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

// A fixed set of worker threads taking tasks from a queue. Workers are
// started as tasks arrive, up to the maximum; when the system refuses a new
// thread, the ones already running carry on, and only a pool left without
// any reports the failure. Tasks must not throw. The destructor lets the
// queued tasks run, then joins the workers.
class WorkerPool {
public:
    explicit WorkerPool(unsigned maxThreads) : maxThreads_(std::max(1u, maxThreads)) {}

    ~WorkerPool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (auto& thread : threads_)
            thread.join();
    }

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    Result<void> submit(std::function<void()> task) {
        std::unique_lock lock(mutex_);
        queue_.push_back(std::move(task));
        if (idle_ < queue_.size() && threads_.size() < maxThreads_) {
            try {
                threads_.emplace_back([this] { work(); });
            } catch (const std::system_error& e) {
                if (threads_.empty()) {
                    queue_.pop_back();
                    return noThreads(e);
                }
            }
        }
        lock.unlock();
        wake_.notify_one();
        return {};
    }

private:
    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            --idle_;
            if (queue_.empty())
                return; // stopping, and nothing left to do
            std::function<void()> task = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    const std::size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

std::uint16_t delayToCentiseconds(double seconds) {
    if (!(seconds > 0))
        return 0;
    return std::uint16_t(std::min(65535.0, std::round(seconds * 100.0)));
}

GifEncoder::GifEncoder(std::uint32_t width, std::uint32_t height, std::uint16_t loopCount,
                       ByteSink sink, EncoderSettings settings)
    : width_(width), height_(height), loopCount_(loopCount), sink_(std::move(sink)),
      settings_(settings) {
    setQuality(settings_.quality);
    // Light diffusion: enough to soften bands in gradients, little enough
    // not to add the grain that costs bytes and fidelity. Measured on real
    // footage and photographs (bench/run-encode): every step up from here
    // lowered SSIM and grew the files (0.15 cost 5% in size on photographs
    // and 0.001 SSIM on footage).
    ditherStrength_ = 0.08f;

    const unsigned cores = coreCount();
    const unsigned threads = settings_.threads ? std::min(settings_.threads, cores) : cores;
    maxInFlight_ = threads + 1;
    settings_.threads = threads;
}

void GifEncoder::setQuality(int quality) {
    settings_.quality = std::clamp(quality, 1, 100);
    // At 100 only exactly unchanged pixels are kept; lower qualities also keep
    // pixels whose change is below a luma-weighted tolerance (8-bit units),
    // which is what keeps a video's sensor and compression noise out of the
    // file. At the default of 80 that is 4 levels.
    const float tolerance = float(100 - settings_.quality) * 0.2f;
    keepTolerance2_ = tolerance * tolerance;
}

GifEncoder::~GifEncoder() {
    // The pool runs what is queued before its workers stop; nothing then
    // refers to this encoder.
    pool_.reset();
}

Result<void> GifEncoder::stop(Error error) {
    failed_ = true;
    error_ = std::move(error);
    return error_;
}

Result<void> GifEncoder::send(std::vector<std::uint8_t>& bytes) {
    auto written = sink_(bytes);
    bytes.clear();
    if (!written)
        return stop(written.error());
    return {};
}

namespace {

// The changed rectangle and the kept pixels inside it. Changes are measured
// against the colour each pixel had when it was last stored, so slow drifts
// add up and are stored once they show. `changed` is scratch space kept
// between frames.
FrameJob diffFrame(const std::vector<std::uint8_t>& rgb, std::vector<std::uint8_t>& shown,
                   std::vector<std::uint8_t>& changed, std::uint32_t width, std::uint32_t height,
                   float tolerance2) {
    changed.resize(std::size_t(width) * height);
    std::uint32_t left = width, top = height, right = 0, bottom = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t row = std::size_t(y) * width;
        const std::uint8_t* now = &rgb[row * 3];
        const std::uint8_t* was = &shown[row * 3];
        std::uint8_t* flags = &changed[row];
        // A square distance is never negative, so at a tolerance of 0 only
        // pixels exactly as they were stay unmarked.
        for (std::uint32_t x = 0; x < width; ++x) {
            const float dr = float(now[x * 3]) - float(was[x * 3]),
                        dg = float(now[x * 3 + 1]) - float(was[x * 3 + 1]),
                        db = float(now[x * 3 + 2]) - float(was[x * 3 + 2]);
            const float d2 = 0.299f * dr * dr + 0.587f * dg * dg + 0.114f * db * db;
            flags[x] = d2 > tolerance2 ? 1 : 0;
        }
        const auto* first = static_cast<const std::uint8_t*>(std::memchr(flags, 1, width));
        if (!first)
            continue;
        std::uint32_t last = width - 1;
        while (!flags[last])
            --last;
        left = std::min(left, std::uint32_t(first - flags));
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    FrameJob job;
    if (left > right) { // nothing changed: one transparent pixel carries the delay
        job.rect = {0, 0, 1, 1};
        job.rgb.assign(3, 0);
        job.keep.assign(1, 1);
        job.hasKept = true;
        return job;
    }
    job.rect = {left, top, right - left + 1, bottom - top + 1};
    const std::uint32_t w = job.rect.width;
    job.rgb.resize(std::size_t(w) * job.rect.height * 3);
    job.keep.resize(std::size_t(w) * job.rect.height);
    for (std::uint32_t y = 0; y < job.rect.height; ++y) {
        const std::size_t src = std::size_t(top + y) * width + left;
        const std::size_t dst = std::size_t(y) * w;
        std::memcpy(&job.rgb[dst * 3], &rgb[src * 3], std::size_t(w) * 3);
        const std::uint8_t* flags = &changed[src];
        std::uint8_t* keep = &job.keep[dst];
        for (std::uint32_t x = 0; x < w; ++x)
            keep[x] = flags[x] ^ 1;
        for (std::uint32_t x = 0; x < w; ++x)
            if (flags[x])
                std::memcpy(&shown[(src + x) * 3], &rgb[(src + x) * 3], 3);
    }
    job.hasKept = std::find(job.keep.begin(), job.keep.end(), 1) != job.keep.end();
    return job;
}

// The frame's colours over black, into `rgb` (kept between frames).
void flattenOverBlack(const image::RgbaImage& frame, std::vector<std::uint8_t>& rgb) {
    const std::size_t n = std::size_t(frame.width) * frame.height;
    rgb.resize(n * 3);
    const std::uint8_t* p = frame.pixels.data();
    std::uint8_t* out = rgb.data();
    for (std::size_t i = 0; i < n; ++i, p += 4, out += 3) {
        const unsigned a = p[3];
        if (a == 255) {
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
        } else {
            for (int k = 0; k < 3; ++k)
                out[k] = std::uint8_t((unsigned(p[k]) * a + 127) / 255);
        }
    }
}

} // namespace

Result<void> GifEncoder::addFrame(const image::RgbaImage& frame, double delaySeconds) {
    if (failed_)
        return error_;
    try {
        return queueFrame(frame, delaySeconds);
    } catch (const std::bad_alloc&) {
        return stop(outOfMemory());
    } catch (const std::system_error& e) {
        return stop(noThreads(e));
    }
}

Result<void> GifEncoder::showUnwritten(const image::RgbaImage& frame) {
    if (failed_)
        return error_;
    if (finished_)
        return makeError("gif.encoder_finished", "No frame can be shown after the end.");
    if (framesAdded_ == 0)
        return makeError("gif.no_first_frame", "The first frame must be written.");
    if (frame.width != width_ || frame.height != height_ ||
        frame.pixels.size() != std::size_t(width_) * height_ * 4)
        return makeError("gif.frame_size", "The frame shown is " + std::to_string(frame.width) +
                                               "×" + std::to_string(frame.height) + ", not " +
                                               std::to_string(width_) + "×" +
                                               std::to_string(height_) + ".");
    try {
        // The same change detection as a written frame's, so that what the
        // screen holds afterwards is exactly what writing would have left.
        flattenOverBlack(frame, rgb_);
        diffFrame(rgb_, shown_, changed_, width_, height_, keepTolerance2_);
    } catch (const std::bad_alloc&) {
        return stop(outOfMemory());
    }
    return {};
}

Result<void> GifEncoder::queueFrame(const image::RgbaImage& frame, double delaySeconds) {
    if (finished_)
        return makeError("gif.encoder_finished", "No frame can be added after the end.");
    if (frame.width != width_ || frame.height != height_ ||
        frame.pixels.size() != std::size_t(width_) * height_ * 4)
        return makeError("gif.frame_size", "Frame " + std::to_string(framesAdded_ + 1) + " is " +
                                               std::to_string(frame.width) + "×" +
                                               std::to_string(frame.height) + ", not " +
                                               std::to_string(width_) + "×" +
                                               std::to_string(height_) + ".");
    if (width_ == 0 || height_ == 0 || width_ > 65535 || height_ > 65535)
        return makeError("gif.frame_size", "A GIF is 1 to 65535 pixels on each side.");

    flattenOverBlack(frame, rgb_);
    const std::uint16_t delay = delayToCentiseconds(delaySeconds);
    FrameJob job;
    if (framesAdded_ == 0) {
        job.rect = {0, 0, width_, height_};
        job.keep.assign(std::size_t(width_) * height_, 0);
        job.rgb = rgb_;
        shown_ = rgb_;
        shared_ = std::make_shared<SharedPalette>();
        shared_->colours = paletteForFrame(job, 255);
        shared_->matcher = PaletteMatcher(shared_->colours);
        job.useSharedPalette = true;

        std::vector<std::uint8_t> bytes;
        const int tableBits = tableBitsFor(shared_->colours.size() + 1);
        writeHeader(bytes, std::uint16_t(width_), std::uint16_t(height_), shared_->colours,
                    tableBits);
        writeLoopExtension(bytes, loopCount_);
        if (auto ok = send(bytes); !ok)
            return ok;
    } else {
        job = diffFrame(rgb_, shown_, changed_, width_, height_, keepTolerance2_);
    }
    job.ditherStrength = ditherStrength_;
    ++framesAdded_;

    while (inFlight_.size() >= maxInFlight_)
        if (auto ok = writeOldest(); !ok)
            return ok;
    // The task owns its job and a share of the palette, and reports running
    // out of memory as a result rather than throwing on a worker thread.
    auto done = std::make_shared<std::promise<Result<EncodedFrame>>>();
    auto task = [job = std::move(job), shared = shared_, done]() noexcept {
        try {
            done->set_value(encodeFrame(job, *shared));
        } catch (const std::bad_alloc&) {
            try {
                done->set_value(outOfMemory());
            } catch (...) {
                // The promise could not hold the error either: the waiting
                // side sees a broken promise, reported as out of memory.
            }
        }
    };
    Pending pending{done->get_future(), delay};
    if (settings_.threads == 1) {
        task();
    } else {
        if (!pool_)
            pool_ = std::make_unique<WorkerPool>(settings_.threads);
        if (auto queued = pool_->submit(std::move(task)); !queued)
            return stop(queued.error());
    }
    inFlight_.push_back(std::move(pending));
    return {};
}

Result<void> GifEncoder::writeOldest() {
    Pending pending = std::move(inFlight_.front());
    inFlight_.pop_front();
    Result<EncodedFrame> frame = outOfMemory();
    try {
        frame = pending.frame.get();
    } catch (const std::future_error&) {
        // A task whose promise lost its result: only running out of memory does that.
    }
    if (!frame)
        return stop(frame.error());
    std::vector<std::uint8_t> bytes;
    writeFrame(bytes, *frame, pending.delay);
    if (auto ok = send(bytes); !ok)
        return ok;
    ++framesWritten_;
    return {};
}

Result<void> GifEncoder::writeInFlight() {
    while (!inFlight_.empty())
        if (auto ok = writeOldest(); !ok)
            return ok;
    return {};
}

Result<void> GifEncoder::flush() {
    if (failed_)
        return error_;
    if (finished_)
        return {};
    try {
        return writeInFlight();
    } catch (const std::bad_alloc&) {
        return stop(outOfMemory());
    }
}

Result<void> GifEncoder::finish() {
    if (failed_)
        return error_;
    if (finished_)
        return {};
    if (framesAdded_ == 0)
        return makeError("gif.no_frames", "A GIF needs at least one frame.");
    try {
        if (auto ok = writeInFlight(); !ok)
            return ok;
        std::vector<std::uint8_t> bytes;
        writeTrailer(bytes);
        if (auto ok = send(bytes); !ok)
            return ok;
    } catch (const std::bad_alloc&) {
        return stop(outOfMemory());
    }
    finished_ = true;
    return {};
}

namespace {

Result<std::vector<std::uint8_t>> encodeAll(const std::vector<image::RgbaImage>& frames,
                                            const std::vector<double>& delaysSeconds,
                                            std::uint16_t loopCount, EncoderSettings settings) {
    std::vector<std::uint8_t> out;
    GifEncoder encoder(
        frames[0].width, frames[0].height, loopCount,
        [&out](std::span<const std::uint8_t> bytes) -> Result<void> {
            out.insert(out.end(), bytes.begin(), bytes.end());
            return {};
        },
        settings);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double delay = i < delaysSeconds.size() ? delaysSeconds[i] : 0.1;
        if (auto ok = encoder.addFrame(frames[i], delay); !ok)
            return ok.error();
    }
    if (auto ok = encoder.finish(); !ok)
        return ok.error();
    return out;
}

} // namespace

Result<std::vector<std::uint8_t>> encodeAnimation(const std::vector<image::RgbaImage>& frames,
                                                  const std::vector<double>& delaysSeconds,
                                                  std::uint16_t loopCount,
                                                  EncoderSettings settings) {
    if (frames.empty())
        return makeError("gif.no_frames", "A GIF needs at least one frame.");
    try {
        return encodeAll(frames, delaysSeconds, loopCount, settings);
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

} // namespace flickbook::gif
