#pragma once

// Animated GIF encoding, streaming: frames go in one at a time and their
// bytes go out to a sink as soon as they are ready, so memory grows with the
// few frames in flight, not with the animation.
//
// Each frame after the first stores only the rectangle that changed; inside
// it, pixels whose colour did not change beyond the quality's tolerance since
// they were last drawn are transparent and show what is already on screen.
// Frames are quantized and coded on a fixed pool of worker threads (at most
// one per core), written in order.
//
// Nothing is thrown: running out of memory or of threads ends the encoder
// with an error result (gif.out_of_memory, gif.no_threads), which every later
// call repeats.

#include "core/result.h"
#include "gif/frame_quantizer.h"
#include "image/png_io.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <span>
#include <vector>

namespace flickbook::gif {

class WorkerPool;

struct EncoderSettings {
    // 1–100. Lower values let small changes stay unstored and dither less.
    int quality = 80;
    // Worker threads; 0 takes one per core, and more than the cores are not used.
    unsigned threads = 0;
};

// Receives the file's bytes in order; an error stops the encoder.
using ByteSink = std::function<Result<void>(std::span<const std::uint8_t>)>;

// Seconds to centiseconds, to the nearest (0.15 s is 15), clamped to the
// 16-bit field.
std::uint16_t delayToCentiseconds(double seconds);

class GifEncoder {
public:
    // loopCount 0 loops forever.
    GifEncoder(std::uint32_t width, std::uint32_t height, std::uint16_t loopCount, ByteSink sink,
               EncoderSettings settings = {});
    ~GifEncoder();
    GifEncoder(const GifEncoder&) = delete;
    GifEncoder& operator=(const GifEncoder&) = delete;

    // The frame must have the canvas size; its alpha is composed over black.
    Result<void> addFrame(const image::RgbaImage& frame, double delaySeconds);
    // Takes the frame as if it had been added, without encoding or writing
    // it: what changed in it becomes what the screen shows, and the next
    // frame is compared against that. What a frame costs after a given
    // picture is measured this way without paying for that picture. Only
    // after the first frame.
    Result<void> showUnwritten(const image::RgbaImage& frame);
    // The quality for the frames added from now on (those in flight keep
    // theirs): how large a change may go unstored.
    void setQuality(int quality);
    // Writes every frame still in flight, so that the sink has seen all the
    // bytes of the frames added so far; the file goes on with the next frame.
    Result<void> flush();
    // Writes what is still in flight and the trailer. At least one frame must
    // have been added.
    Result<void> finish();

    std::size_t framesAdded() const { return framesAdded_; }
    // Frames whose bytes the sink has taken.
    std::size_t framesWritten() const { return framesWritten_; }

private:
    struct Pending {
        std::future<Result<EncodedFrame>> frame;
        std::uint16_t delay;
    };
    Result<void> queueFrame(const image::RgbaImage& frame, double delaySeconds);
    Result<void> writeOldest();
    Result<void> writeInFlight();
    Result<void> send(std::vector<std::uint8_t>& bytes);
    Result<void> stop(Error error);

    std::uint32_t width_, height_;
    std::uint16_t loopCount_;
    ByteSink sink_;
    EncoderSettings settings_;
    float keepTolerance2_;
    float ditherStrength_;
    std::size_t maxInFlight_;

    std::vector<std::uint8_t> shown_; // per pixel: the source colour last stored, RGB
    // The frame being added over black, and which of its pixels changed:
    // kept, so that a frame costs no fresh memory of its size.
    std::vector<std::uint8_t> rgb_;
    std::vector<std::uint8_t> changed_;
    std::shared_ptr<SharedPalette> shared_;
    std::deque<Pending> inFlight_;
    std::unique_ptr<WorkerPool> pool_; // made with the first frame that needs it
    std::size_t framesAdded_ = 0;
    std::size_t framesWritten_ = 0;
    bool failed_ = false;
    bool finished_ = false;
    Error error_;
};

// Encodes a whole animation in memory; for tests and small jobs.
Result<std::vector<std::uint8_t>> encodeAnimation(const std::vector<image::RgbaImage>& frames,
                                                  const std::vector<double>& delaysSeconds,
                                                  std::uint16_t loopCount,
                                                  EncoderSettings settings = {});

} // namespace flickbook::gif
