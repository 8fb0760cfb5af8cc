#pragma once

// The computer's cameras for the window: which there are, permission to use
// them, and one opened camera whose frames reach a QML VideoOutput as a
// viewfinder and which records clips into Flickbook's temporary folder.
// Opening, capturing and encoding run off the GUI thread.
//
// FLICKBOOK_CAMERA (and FLICKBOOK_MICROPHONE) name an FFmpeg input instead
// of the devices found, as "lavfi:testsrc2=size=1280x720:rate=30,realtime":
// the same capture then runs on FFmpeg's synthetic pictures, which is how
// machines without a camera test it.

#include "media/capture.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QtQml/qqmlregistration.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

class QVideoSink;

namespace flickbook::platform {

enum class AuthorizationStatus;

struct CameraDescription {
    QString name;
    media::CaptureInput input;
};

class Camera : public QObject {
    Q_OBJECT
    // Named apart from Qt Multimedia's Camera, which pages may import too.
    QML_NAMED_ELEMENT(CameraService)
    QML_UNCREATABLE("A camera is opened by the camera page")
    // The VideoOutput item (or a QVideoSink) that shows the viewfinder.
    Q_PROPERTY(QObject* videoOutput READ videoOutput WRITE setVideoOutput NOTIFY videoOutputChanged)
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    Q_PROPERTY(bool recording READ isRecording NOTIFY recordingChanged)
    Q_PROPERTY(double elapsedSeconds READ elapsedSeconds NOTIFY elapsedChanged)
    Q_PROPERTY(QString elapsedText READ elapsedText NOTIFY elapsedChanged)

public:
    // --- the cameras there are
    static QList<CameraDescription> availableCameras();
    // Where sound comes from, the first that opens.
    static std::vector<media::CaptureInput> microphones();

    // --- permission, remembered in Flickbook's privacy file
    static AuthorizationStatus authorizationStatus();
    static void setAuthorizationStatus(AuthorizationStatus status);
    // Asks the user once (through the photo library's prompts) and answers
    // from what was remembered afterwards; the handler runs on a background
    // thread.
    static void requestAccess(std::function<void(bool granted)> handler);

    explicit Camera(QObject* parent = nullptr);
    ~Camera() override;

    QObject* videoOutput() const { return videoOutput_; }
    void setVideoOutput(QObject* output);

    // Opens a camera off the GUI thread: opened() or failed() follows.
    void open(const CameraDescription& camera);
    void close();
    bool isActive() const { return session_ != nullptr; }

    // Records into a new file in Flickbook's temporary folder.
    bool startRecording(QString* error = nullptr);
    bool isRecording() const { return recording_; }
    double elapsedSeconds() const { return elapsed_; }
    QString elapsedText() const;
    // Ends the recording off the GUI thread; the completion runs on the GUI
    // thread with the complete file, or with the reason there is none.
    using Finished = std::function<void(std::optional<QUrl> clip, QString error)>;
    void stopRecording(Finished finished);

    // The frames delivered to the viewfinder so far.
    int framesShown() const { return framesShown_; }
    // How long before it reached the GUI thread the newest of them was
    // captured, in seconds (NaN before the first): read on frameShown().
    double lastFrameAge() const { return lastFrameAge_; }

    // A reason for a person from a capture error.
    static QString describe(const Error& error, const QString& device);

signals:
    void videoOutputChanged();
    void activeChanged();
    void recordingChanged();
    void elapsedChanged();
    void opened();
    void failed(const QString& reason);
    // The recording broke off on its own (a full disk); the viewfinder goes on.
    void recordingFailed(const QString& reason);
    void frameShown();

private:
    using Clock = std::chrono::steady_clock;
    void deliver(const QVideoFrame& frame, Clock::time_point captured);
    void pollRecording();

    QPointer<QObject> videoOutput_;
    QPointer<QVideoSink> target_;
    std::shared_ptr<media::CaptureSession> session_;
    QString deviceName_;
    bool recording_ = false;
    double elapsed_ = 0.0;
    QTimer poll_;
    int framesShown_ = 0;
    double lastFrameAge_ = NAN;
    // The newest frame not yet handed to the GUI thread; older ones are
    // dropped when the GUI thread falls behind.
    struct Pending {
        QMutex lock;
        QVideoFrame frame;
        Clock::time_point captured; // when that frame was captured
        // The session's start on the steady clock, from which the frames'
        // own capture times count.
        std::optional<Clock::time_point> start;
        bool posted = false;
        Camera* owner = nullptr; // none once the camera is closed
    };
    std::shared_ptr<Pending> pending_ = std::make_shared<Pending>();
    std::shared_ptr<std::atomic<int>> generation_ = std::make_shared<std::atomic<int>>(0);
};

} // namespace flickbook::platform
