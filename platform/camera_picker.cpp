#include "camera_picker.h"

#include "dispatch.h"
#include "media/probe.h"

#include <QPointer>
#include <cmath>

namespace flickbook::platform {

CameraPicker::CameraPicker(QObject* parent) : ViewController(parent), camera_(new Camera(this)) {
    connect(camera_, &Camera::opened, this, [this] { setState(State::Ready); });
    connect(camera_, &Camera::failed, this,
            [this](const QString& reason) { setState(State::Failed, reason); });
    connect(camera_, &Camera::recordingFailed, this, [this](const QString& reason) {
        setState(State::Ready, reason); // the viewfinder goes on; record again
    });
}

QStringList CameraPicker::cameraNames() const {
    QStringList names;
    for (const CameraDescription& camera : cameras_)
        names << camera.name;
    return names;
}

void CameraPicker::viewDidLoad() {
    cameras_ = Camera::availableCameras();
    Q_EMIT camerasChanged();
    if (cameras_.isEmpty()) {
        setState(State::NoCamera,
                 tr("Connect a camera and try again, or make a GIF from a video file."));
        return;
    }
    openCamera();
}

void CameraPicker::setState(State state, const QString& message) {
    if (state_ == state && message_ == message)
        return;
    state_ = state;
    message_ = message;
    Q_EMIT stateChanged();
}

void CameraPicker::openCamera() {
    setState(State::Opening);
    camera_->open(cameras_[cameraIndex_]);
}

void CameraPicker::btnRecord() {
    if (state_ == State::Ready) {
        QString reason;
        if (camera_->startRecording(&reason))
            setState(State::Recording);
        else
            setState(State::Ready, reason);
        return;
    }
    if (state_ != State::Recording)
        return;
    setState(State::Saving);
    QPointer<CameraPicker> self(this);
    camera_->stopRecording([self](std::optional<QUrl> clip, QString reason) {
        if (!self)
            return;
        if (!clip) {
            self->setState(State::Ready, reason);
            return;
        }
        self->camera_->close();
        if (self->delegate_)
            self->delegate_->didFinishPickingMedia(*clip);
    });
}

void CameraPicker::btnCancel() {
    if (state_ == State::Saving)
        return; // the clip is being finished; it comes in a moment
    camera_->close();
    if (delegate_)
        delegate_->didCancel();
}

bool CameraPicker::goBack() {
    if (state_ == State::Saving)
        return false;
    btnCancel();
    return true;
}

void CameraPicker::switchCamera() {
    if (cameras_.size() < 2 || state_ == State::Recording || state_ == State::Saving)
        return;
    cameraIndex_ = (cameraIndex_ + 1) % int(cameras_.size());
    Q_EMIT camerasChanged();
    openCamera();
}

void CameraPicker::retry() {
    if (state_ != State::Failed && state_ != State::NoCamera)
        return;
    viewDidLoad();
}

void CameraPicker::btnOpenVideoFile() {
    Q_EMIT fileChooserRequested();
}

void CameraPicker::openVideoFile(const QUrl& file) {
    if (!file.isLocalFile())
        return;
    // Only a video that plays goes on to be trimmed.
    QPointer<CameraPicker> self(this);
    const State before = state_;
    dispatch::background([self, file, before] {
        const auto video = media::probe(file.toLocalFile().toStdString());
        const bool playable = video && std::isfinite(video->durationSeconds);
        dispatch::main([self, file, before, playable] {
            if (!self)
                return;
            if (!playable) {
                self->setState(before, tr("“%1” is not a video Flickbook can play. Choose "
                                          "another file.")
                                           .arg(file.fileName()));
                return;
            }
            self->camera_->close();
            if (self->delegate_)
                self->delegate_->didFinishPickingMedia(file);
        });
    });
}

} // namespace flickbook::platform
