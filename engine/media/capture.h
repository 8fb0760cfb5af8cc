#pragma once

// Live capture from a camera (or any live FFmpeg input): frames for a
// viewfinder as they come, and on request a recording into an MP4 file —
// H.264 timed by the capture's own timestamps, with the microphone's sound as
// AAC when a microphone is given. Reading the camera, encoding and writing
// run on threads of their own, so the viewfinder keeps the camera's rate
// while recording.
//
// The same code reads a V4L2 camera ("video4linux2", "/dev/video0") and
// FFmpeg's synthetic inputs ("lavfi", "testsrc2=size=1280x720:rate=30,realtime").

#include "core/result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace flickbook::media {

struct CaptureInput {
    std::string format; // FFmpeg input device: "video4linux2", "lavfi", "pulse", "alsa"
    std::string url;    // "/dev/video0", a lavfi graph, "default"
    int width = 0;      // a size and rate to ask for; 0 leaves the device's own
    int height = 0;
    double frameRate = 0;
};

// A viewfinder frame: planar YUV 4:2:0, planes packed one after another
// (width × height luma, then two quarter-size chroma planes).
struct CapturedFrame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> yuv;
    double seconds = 0; // capture time since the session opened
};

class CaptureSession {
public:
    // Called on the capture thread for every frame; keep it short.
    using FrameSink = std::function<void(std::shared_ptr<const CapturedFrame>)>;

    // Opens the camera and the first of the microphones that opens (none
    // may: the recording then has no sound) and starts delivering frames.
    // Errors: "capture.open" with the system's reason (no such device, busy,
    // no permission), "capture.no_video".
    static Result<std::unique_ptr<CaptureSession>>
    open(const CaptureInput& camera, const std::vector<CaptureInput>& microphones,
         FrameSink viewfinder);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    int width() const;
    int height() const;
    double frameRate() const;
    bool hasSound() const;

    // Starts writing every following frame into destination (MP4): written as
    // a hidden part file beside it and renamed only when complete.
    Result<void> startRecording(const std::filesystem::path& destination);
    bool isRecording() const;
    // Seconds recorded so far.
    double recordedSeconds() const;
    // Ends the recording: the file is complete, closed and in place when
    // this returns its path. Errors: "capture.empty" when no frame was
    // recorded, "capture.write" (a full disk, for instance), both with no
    // file left behind.
    Result<std::filesystem::path> stopRecording();
    // Why the recording broke off while running, if it did (the frames keep
    // coming to the viewfinder).
    std::optional<Error> recordingFailure() const;
    // Why the camera stopped delivering, if it did.
    std::optional<Error> captureFailure() const;

private:
    struct State;
    explicit CaptureSession(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace flickbook::media
