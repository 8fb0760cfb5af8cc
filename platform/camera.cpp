#include "camera.h"

#include "core/output_file.h"
#include "desktop.h"
#include "dispatch.h"
#include "media/camera_devices.h"
#include "photo_library.h"
#include "store/gif_store.h"

#include <QDir>
#include <QVideoFrameFormat>
#include <QVideoSink>
#include <cmath>
#include <cstring>

namespace flickbook::platform {

namespace {

// "lavfi:testsrc2=…" → the lavfi input with that graph.
std::optional<media::CaptureInput> inputFromEnvironment(const char* variable) {
    const QString named = qEnvironmentVariable(variable);
    const qsizetype colon = named.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    return media::CaptureInput{named.left(colon).toStdString(), named.mid(colon + 1).toStdString(),
                               0, 0, 0};
}

} // namespace

QList<CameraDescription> Camera::availableCameras() {
    if (auto given = inputFromEnvironment("FLICKBOOK_CAMERA"))
        return {{QObject::tr("Test Pattern"), *given}};
    QList<CameraDescription> cameras;
    for (const media::CameraDevice& device : media::listCameras()) {
        const media::CameraMode mode = media::chooseCameraMode(device.modes);
        cameras.push_back({QString::fromStdString(device.name),
                           {"video4linux2", device.path, mode.width, mode.height, mode.frameRate}});
    }
    return cameras;
}

std::vector<media::CaptureInput> Camera::microphones() {
    if (auto given = inputFromEnvironment("FLICKBOOK_MICROPHONE"))
        return {*given};
    if (qEnvironmentVariableIsSet("FLICKBOOK_CAMERA"))
        return {}; // a synthetic camera has no microphone beside it
    return {{"pulse", "default", 0, 0, 0}, {"alsa", "default", 0, 0, 0}};
}

Camera::Camera(QObject* parent) : QObject(parent) {
    pending_->owner = this;
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, &Camera::pollRecording);
}

Camera::~Camera() {
    close();
}

void Camera::setVideoOutput(QObject* output) {
    if (videoOutput_ == output)
        return;
    videoOutput_ = output;
    target_ = qobject_cast<QVideoSink*>(output);
    if (!target_ && output)
        target_ = output->property("videoSink").value<QVideoSink*>();
    Q_EMIT videoOutputChanged();
}

void Camera::open(const CameraDescription& camera) {
    close();
    deviceName_ = camera.name;
    const int generation = ++*generation_;
    auto current = generation_;
    auto pending = pending_;
    QPointer<Camera> self(this);
    dispatch::background([self, camera, generation, current, pending] {
        // Each frame becomes a video frame here, on the capture thread; the
        // GUI thread gets the newest when it is ready for one.
        auto sink = [pending](std::shared_ptr<const media::CapturedFrame> captured) {
            const Clock::time_point arrived = Clock::now();
            QVideoFrame frame(QVideoFrameFormat(QSize(captured->width, captured->height),
                                                QVideoFrameFormat::Format_YUV420P));
            if (!frame.map(QVideoFrame::WriteOnly))
                return;
            const int w = captured->width, h = captured->height;
            const int cw = (w + 1) / 2, ch = (h + 1) / 2;
            const std::uint8_t* planes[3] = {
                captured->yuv.data(), captured->yuv.data() + std::size_t(w) * h,
                captured->yuv.data() + std::size_t(w) * h + std::size_t(cw) * ch};
            const int widths[3] = {w, cw, cw}, heights[3] = {h, ch, ch};
            for (int plane = 0; plane < 3; ++plane)
                for (int row = 0; row < heights[plane]; ++row)
                    std::memcpy(frame.bits(plane) + std::size_t(row) * frame.bytesPerLine(plane),
                                planes[plane] + std::size_t(row) * widths[plane],
                                std::size_t(widths[plane]));
            frame.unmap();
            QMutexLocker lock(&pending->lock);
            // The capture instant is the session's start plus the frame's
            // capture time. The start is the earliest arrival less capture
            // time seen, so a frame that reaches this thread late by the
            // camera's own clock counts as older by as much.
            const auto sinceStart = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(captured->seconds));
            if (!pending->start || arrived - sinceStart < *pending->start)
                pending->start = arrived - sinceStart;
            pending->frame = frame;
            pending->captured = *pending->start + sinceStart;
            if (pending->posted || !pending->owner)
                return;
            pending->posted = true;
            dispatch::main([pending] {
                QVideoFrame newest;
                Clock::time_point captured;
                Camera* owner = nullptr;
                {
                    QMutexLocker lock(&pending->lock);
                    newest = std::exchange(pending->frame, QVideoFrame());
                    captured = pending->captured;
                    pending->posted = false;
                    owner = pending->owner;
                }
                if (owner && newest.isValid())
                    owner->deliver(newest, captured);
            });
        };
        auto session = media::CaptureSession::open(camera.input, microphones(), sink);
        std::shared_ptr<media::CaptureSession> opened;
        QString reason;
        if (session)
            opened = std::move(*session);
        else
            reason = describe(session.error(), camera.name);
        dispatch::main([self, opened, reason, generation, current] {
            if (!self || current->load() != generation)
                return; // closed meanwhile: the session ends here
            if (!opened) {
                consoleLine(reason);
                Q_EMIT self->failed(reason);
                return;
            }
            self->session_ = opened;
            Q_EMIT self->activeChanged();
            Q_EMIT self->opened();
        });
    });
}

void Camera::close() {
    ++*generation_;
    {
        QMutexLocker lock(&pending_->lock);
        pending_->owner = nullptr;
    }
    // Ends the capture threads; a recording nobody stopped is dropped.
    const bool wasActive = session_ != nullptr;
    session_.reset();
    poll_.stop();
    if (recording_) {
        recording_ = false;
        Q_EMIT recordingChanged();
    }
    // A later open delivers to this camera again.
    pending_ = std::make_shared<Pending>();
    pending_->owner = this;
    if (wasActive)
        Q_EMIT activeChanged();
}

void Camera::deliver(const QVideoFrame& frame, Clock::time_point captured) {
    lastFrameAge_ = std::chrono::duration<double>(Clock::now() - captured).count();
    ++framesShown_;
    if (target_)
        target_->setVideoFrame(frame);
    Q_EMIT frameShown();
}

bool Camera::startRecording(QString* error) {
    if (!session_ || recording_)
        return false;
    const auto folder = store::GifStore::standard().temporaryFolder();
    QDir().mkpath(QString::fromStdString(folder.string()));
    const auto destination = uniquePathIn(folder, "capture-", ".mp4");
    auto started = session_->startRecording(destination);
    if (!started) {
        const QString reason = describe(started.error(), deviceName_);
        consoleLine(reason);
        if (error)
            *error = reason;
        return false;
    }
    recording_ = true;
    elapsed_ = 0.0;
    poll_.start();
    Q_EMIT recordingChanged();
    Q_EMIT elapsedChanged();
    return true;
}

void Camera::pollRecording() {
    if (!session_ || !recording_)
        return;
    elapsed_ = session_->recordedSeconds();
    Q_EMIT elapsedChanged();
    if (auto broke = session_->recordingFailure()) {
        const QString reason = describe(*broke, deviceName_);
        stopRecording([](std::optional<QUrl>, QString) {});
        Q_EMIT recordingFailed(reason);
    }
}

QString Camera::elapsedText() const {
    const int seconds = int(std::floor(elapsed_));
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void Camera::stopRecording(Finished finished) {
    if (!session_ || !recording_) {
        if (finished)
            finished(std::nullopt, tr("Nothing is being recorded."));
        return;
    }
    recording_ = false;
    poll_.stop();
    Q_EMIT recordingChanged();
    auto session = session_;
    const QString device = deviceName_;
    dispatch::background([session, device, finished = std::move(finished)] {
        auto made = session->stopRecording();
        std::optional<QUrl> clip;
        QString reason;
        if (made)
            clip = QUrl::fromLocalFile(QString::fromStdString(made->string()));
        else
            reason = describe(made.error(), device);
        dispatch::main([finished, clip, reason] {
            if (!clip)
                consoleLine(reason);
            if (finished)
                finished(clip, reason);
        });
    });
}

QString Camera::describe(const Error& error, const QString& device) {
    const QString message = QString::fromStdString(error.message);
    if (error.code == "capture.open") {
        if (message.contains(QLatin1String("Permission denied")))
            return tr("Flickbook may not use the camera “%1”. Make sure your user may use "
                      "video devices (the “video” group), then try again.")
                .arg(device);
        if (message.contains(QLatin1String("busy")))
            return tr("The camera “%1” is in use by another application. Close it and try again.")
                .arg(device);
        return tr("The camera “%1” cannot be opened. %2").arg(device, message);
    }
    if (error.code == "capture.empty")
        return tr("Nothing was recorded. Hold the record button a little longer.");
    if (error.code == "capture.write")
        return tr("The recording could not be saved. %1").arg(message);
    return message;
}

} // namespace flickbook::platform
