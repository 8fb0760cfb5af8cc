#pragma once

// Decoded video frames in presentation order, turned upright and scaled to
// RGBA on request. Reading is sequential; seekTo() jumps to the keyframe at or
// before a time so that the frames from there on can be decoded forward.

#include "core/result.h"
#include "image/png_io.h"
#include "media/video_source.h"

#include <cstdint>
#include <vector>

namespace flickbook::media {

// A frame's 8-bit 4:2:0 planes as decoded (not turned, not scaled), with what
// a display needs to turn them into colours: for handing to a video output
// that converts them itself.
struct PlanarPicture {
    enum class Matrix { Bt601, Bt709, Bt2020 };
    int width = 0, height = 0;
    // Rows of width samples; the chroma planes' rows hold (width + 1) / 2
    // samples and there are (height + 1) / 2 of them.
    std::vector<std::uint8_t> y, cb, cr;
    Matrix matrix = Matrix::Bt601;
    bool fullRange = false;
    double seconds = 0; // the frame's time from the start of the file
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

    // The current frame upright (rotation applied), fitted inside
    // maxWidth × maxHeight with its aspect kept (never enlarged when
    // allowEnlarge is false).
    Result<image::RgbaImage> currentImage(int maxWidth, int maxHeight, bool allowEnlarge = false);

    // The current frame's planes, converted to 8-bit 4:2:0 when decoded in
    // another format.
    Result<PlanarPicture> currentPlanes();

    const VideoSource& source() const { return source_; }

private:
    Error keepLastFrame(Error error);

    VideoSource source_;
    PacketHandle packet_;
    FrameHandle frame_;
    FrameHandle last_;
    ScalerHandle scaler_;
    ScalerHandle planeScaler_;
    double currentTime_ = 0;
    double startTime_;
    bool flushing_ = false;
    bool ended_ = false;
};

// Turns an RGBA image by 90, 180 or 270 degrees clockwise.
image::RgbaImage rotateClockwise(const image::RgbaImage& in, int degrees);

} // namespace flickbook::media
