#include "video/capture_video_screen.h"

#include "home/navigation_rules.h"
#include "platform/alert_controller.h"
#include "platform/dispatch.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "video/trim_video_screen.h"

namespace flickbook::video {

namespace {
QUrl cameraPage() {
    return QUrl(QStringLiteral("qrc:/Flickbook/qml/CameraPage.qml"));
}
} // namespace

CaptureVideoScreen::CaptureVideoScreen(QObject* parent) : ViewController(parent) {}

void CaptureVideoScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("Camera"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &CaptureVideoScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
    checkAccess();
}

void CaptureVideoScreen::checkAccess() {
    if (platform::Camera::authorizationStatus() == platform::AuthorizationStatus::Authorized) {
        openCamera();
        return;
    }
    QPointer<CaptureVideoScreen> self(this);
    platform::Camera::requestAccess([self](bool granted) {
        platform::dispatch::main([self, granted] {
            if (!self)
                return;
            if (granted)
                self->openCamera();
            else
                self->showAccessAlert();
        });
    });
}

void CaptureVideoScreen::showAccessAlert() {
    auto* alert = new platform::AlertController(
        tr("Can not access Camera!"),
        QStringLiteral("You have not given permission for access Camera. \nGoto settings and give "
                       "permission to access Camera."),
        this);
    alert->addAction(tr("Cancel"));
    alert->setEscapeAction(0);
    alert->addAction(tr("Setting"), platform::AlertController::ActionStyle::Default, [] {
        platform::PhotoLibrary::shared().openPrivacySettings(platform::PrivacyService::Camera);
    });
    present(alert);
}

void CaptureVideoScreen::openCamera() {
    if (!navigationController())
        return;
    auto* picker = new platform::CameraPicker();
    picker->sourceType = platform::CameraPicker::SourceType::Camera;
    picker->mediaTypes = {QStringLiteral("public.movie")};
    picker->cameraCaptureMode = platform::CameraPicker::CaptureMode::Video;
    picker->allowsEditing = false;
    picker->showsCameraControls = true;
    picker->setDelegate(this);
    picker_ = picker;
    navigationController()->presentViewController(picker, cameraPage(), false);
}

void CaptureVideoScreen::didFinishPickingMedia(const QUrl& mediaURL) {
    if (mediaURL.isValid() && !mediaURL.isEmpty())
        videoAsset = mediaURL;
    auto* navigation = navigationController();
    if (!navigation)
        return;
    QPointer<CaptureVideoScreen> self(this);
    navigation->dismissViewController(false, [self] {
        platform::dispatch::main([self] {
            if (self)
                self->performSegueWithIdentifier(QStringLiteral("segue_trim"));
        });
    });
}

void CaptureVideoScreen::didCancel() {
    auto* navigation = navigationController();
    if (!navigation)
        return;
    QPointer<CaptureVideoScreen> self(this);
    navigation->dismissViewController(false, [self] {
        platform::dispatch::main([self] {
            if (self)
                home::popOneScreen(self);
        });
    });
}

void CaptureVideoScreen::prepareForSegue(const platform::StoryboardSegue& segue) {
    if (segue.identifier != QStringLiteral("segue_trim"))
        return;
    if (auto* trim = qobject_cast<TrimVideoScreen*>(segue.destination))
        trim->selectedvideoAsset = videoAsset;
}

void CaptureVideoScreen::btnBack() {
    home::popOneScreen(this);
}

} // namespace flickbook::video
