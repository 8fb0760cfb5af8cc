#pragma once

// The camera page: presented over the window, it shows a live viewfinder,
// records a clip with a large record button (which becomes stop) showing the
// time recorded, offers a switch when there are several cameras, and Cancel.
// On a computer without a camera it says so and offers a video file instead.
// It tells its delegate about a finished clip or a cancel, as a phone's
// camera picker does.

#include "camera.h"
#include "view_controller.h"

#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class CameraPickerDelegate {
public:
    virtual ~CameraPickerDelegate() = default;
    // A clip was recorded (or a file chosen instead): its URL.
    virtual void didFinishPickingMedia(const QUrl& mediaURL) = 0;
    virtual void didCancel() = 0;
};

class CameraPicker : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the screen that shows the camera")
    Q_PROPERTY(flickbook::platform::Camera* camera READ camera CONSTANT)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    // What the page says in the states that need words.
    Q_PROPERTY(QString message READ message NOTIFY stateChanged)
    Q_PROPERTY(QStringList cameraNames READ cameraNames NOTIFY camerasChanged)
    Q_PROPERTY(int cameraIndex READ cameraIndex NOTIFY camerasChanged)

public:
    enum class State { Opening, Ready, Recording, Saving, NoCamera, Failed };
    Q_ENUM(State)

    // What the page is set up for, as on a phone: the camera as source,
    // movies, video mode, no editing step, the camera's own controls.
    enum class SourceType { PhotoLibrary = 0, Camera = 1 };
    enum class CaptureMode { Photo = 0, Video = 1 };
    SourceType sourceType = SourceType::Camera;
    QStringList mediaTypes{QStringLiteral("public.movie")};
    CaptureMode cameraCaptureMode = CaptureMode::Video;
    bool allowsEditing = false;
    bool showsCameraControls = true;

    explicit CameraPicker(QObject* parent = nullptr);

    Camera* camera() const { return camera_; }
    State state() const { return state_; }
    QString message() const { return message_; }
    QStringList cameraNames() const;
    int cameraIndex() const { return cameraIndex_; }

    void setDelegate(CameraPickerDelegate* delegate) { delegate_ = delegate; }
    CameraPickerDelegate* delegate() const { return delegate_; }

    void viewDidLoad() override;
    // Escape and the other Back keys cancel, as the page's Cancel does.
    bool goBack() override;

    // Record, or stop and hand the clip over.
    Q_INVOKABLE void btnRecord();
    Q_INVOKABLE void btnCancel();
    Q_INVOKABLE void switchCamera();
    Q_INVOKABLE void retry();
    // Without a camera: a video file chosen with the desktop's file chooser.
    Q_INVOKABLE void btnOpenVideoFile();
    Q_INVOKABLE void openVideoFile(const QUrl& file);

signals:
    void stateChanged();
    void camerasChanged();
    // The page shows the desktop's file chooser for videos.
    void fileChooserRequested();

private:
    void setState(State state, const QString& message = {});
    void openCamera();

    Camera* camera_;
    QList<CameraDescription> cameras_;
    int cameraIndex_ = 0;
    State state_ = State::Opening;
    QString message_;
    CameraPickerDelegate* delegate_ = nullptr;
};

} // namespace flickbook::platform
