#pragma once

// The camera screen: it makes sure Flickbook may use the camera, shows the
// camera page, and hands a recorded clip to the trim screen. Cancelled, it
// takes itself off the stack; refused, it explains with an alert that opens
// Flickbook's privacy page.

#include "platform/camera_picker.h"
#include "platform/view_controller.h"

#include <QPointer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace flickbook::video {

class CaptureVideoScreen : public flickbook::platform::ViewController, public platform::CameraPickerDelegate {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")

public:
    explicit CaptureVideoScreen(QObject* parent = nullptr);

    void viewDidLoad() override;
    void prepareForSegue(const platform::StoryboardSegue& segue) override;

    void checkAccess();
    void showAccessAlert();
    void openCamera();
    // The camera page shown now, if any.
    platform::CameraPicker* picker() const { return picker_; }

    void didFinishPickingMedia(const QUrl& mediaURL) override;
    void didCancel() override;

    Q_INVOKABLE void btnBack();

    // The recorded clip.
    std::optional<QUrl> videoAsset;

private:
    QPointer<platform::CameraPicker> picker_;
};

} // namespace flickbook::video
