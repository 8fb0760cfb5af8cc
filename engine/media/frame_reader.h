#pragma once

// Decoded video frames in presentation order, turned upright and scaled to
// RGBA on request. Reading is sequential; seekTo() jumps to the keyframe at or
// before a time so that the frames from there on can be decoded forward.

#include "core/result.h"
#include "image/png_io.h"
#include "media/plane_memory.h"
#include "media/video_source.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace flickbook::media {

// A frame's 8-bit 4:2:0 planes as decoded (not turned, not scaled), with what
// a display needs to turn them into colours: for handing to a video output
// that converts them itself.
struct PlanarPicture {
    enum class Matrix { Bt601, Bt709, Bt2020 };
    int width = 0, height = 0;
    // The luma plane's rows of width samples, then the two chroma planes'
    // (height + 1) / 2 rows of (width + 1) / 2 samples each, in one block.
    PlaneBytes samples;
    Matrix matrix = Matrix::Bt601;
    bool fullRange = false;
    double seconds = 0; // the frame's time from the start of the file

    int chromaWidth() const { return (width + 1) / 2; }
    int chromaHeight() const { return (height + 1) / 2; }
    std::size_t lumaSize() const { return std::size_t(width) * std::size_t(height); }
    std::size_t chromaSize() const {
        return std::size_t(chromaWidth()) * std::size_t(chromaHeight());
    }
    const std::uint8_t* y() const { return samples.data(); }
    const std::uint8_t* cb() const { return samples.data() + lumaSize(); }
    const std::uint8_t* cr() const { return cb() + chromaSize(); }
};

// A decoded frame kept after the reader has moved on: it shares the
// decoder's picture rather than copying it, and makes pictures of it as the
// reader's current frame does.
class KeptFrame;

// Scales kept frames one after another with one scaler, set up once for a
// run of frames of one size rather than for each picture.
class FrameScaler {
private:
    friend class KeptFrame;
    ScalerHandle scaler_;
};

class KeptFrame {
public:
    // As FrameReader::currentImage.
    Result<image::RgbaImage> image(int maxWidth, int maxHeight, bool allowEnlarge = false) const;
    // With the scaler of a run of frames, into the pixels of the run's
    // picture before (a picture of the same size costs no fresh memory).
    Result<image::RgbaImage> image(FrameScaler& scaler, int maxWidth, int maxHeight,
                                   bool allowEnlarge = false, image::RgbaImage reuse = {}) const;
    // The bytes of the decoded picture it holds (shared with every frame
    // kept of the same picture).
    std::size_t bytes() const;

private:
    friend class FrameReader;
    std::shared_ptr<AVFrame> frame_;
    int rotation_ = 0;
};

class FrameReader {
public:
    explicit FrameReader(VideoSource source);

    // Decodes the next frame: true when a new frame is current, false at the
    // end, where the last frame decoded stays current (as it does after an
    // error).
    Result<bool> next();
    // Seconds of the current frame from the start of the file.
    double currentTime() const { return currentTime_; }
    // Positions reading at the keyframe at or before t seconds.
    Result<void> seekTo(double seconds);

    // Decodes in full only the frames shown within `window` seconds of one
    // of `seconds` (in increasing order): any other frame that no later frame
    // is decoded from is passed over, as the decoder's skip of
    // non-reference frames does, which saves a share of the decoding (about
    // a third on H.264 with B-frames). Frames without a timestamp are always
    // decoded. An empty list decodes every frame again.
    void decodeOnlyNear(std::vector<double> seconds, double window);

    // The current frame upright (rotation applied), fitted inside
    // maxWidth × maxHeight with its aspect kept (never enlarged when
    // allowEnlarge is false).
    Result<image::RgbaImage> currentImage(int maxWidth, int maxHeight, bool allowEnlarge = false);
    // The same into the pixels of a picture no longer needed: one of the
    // same size costs no fresh memory.
    Result<image::RgbaImage> currentImage(image::RgbaImage reuse, int maxWidth, int maxHeight,
                                          bool allowEnlarge = false);

    // The current frame's planes, converted to 8-bit 4:2:0 when decoded in
    // another format.
    Result<PlanarPicture> currentPlanes();
    // The same into a picture whose planes' memory is reused.
    Result<void> copyCurrentPlanes(PlanarPicture& into);

    const VideoSource& source() const { return source_; }
    // The current frame, kept for pictures made later.
    Result<KeptFrame> keepCurrent() const;

private:
    Error keepLastFrame(Error error);
    // Whether the packet's frame is one decodeOnlyNear() asks for.
    bool wanted(const AVPacket& packet) const;

    VideoSource source_;
    PacketHandle packet_;
    FrameHandle frame_;
    FrameHandle last_;
    ScalerHandle scaler_;
    ScalerHandle planeScaler_;
    double currentTime_ = 0;
    double startTime_;
    std::vector<double> wantedTimes_;
    double wantedWindow_ = 0;
    bool flushing_ = false;
    bool ended_ = false;
};

// Turns an RGBA image by 90, 180 or 270 degrees clockwise.
image::RgbaImage rotateClockwise(const image::RgbaImage& in, int degrees);

} // namespace flickbook::media
