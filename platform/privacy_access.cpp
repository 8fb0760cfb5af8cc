// Access to the photo library and to the camera: each asked once,
// remembered in Flickbook's own privacy file beside its settings, changeable
// on its privacy page.

#include "camera.h"
#include "dispatch.h"
#include "photo_library.h"

#include <QSettings>
#include <QStandardPaths>

namespace flickbook::platform {

namespace {

QSettings privacyFile() {
    return QSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Flickbook/privacy.conf"),
                     QSettings::IniFormat);
}

const QString kPhotosKey = QStringLiteral("photos");
const QString kCameraKey = QStringLiteral("camera");

AuthorizationStatus storedStatus(const QString& key) {
    const int stored = privacyFile().value(key, 0).toInt();
    switch (stored) {
    case int(AuthorizationStatus::Restricted):
        return AuthorizationStatus::Restricted;
    case int(AuthorizationStatus::Denied):
        return AuthorizationStatus::Denied;
    case int(AuthorizationStatus::Authorized):
        return AuthorizationStatus::Authorized;
    default:
        return AuthorizationStatus::NotDetermined;
    }
}

void storeStatus(const QString& key, AuthorizationStatus status) {
    QSettings file = privacyFile();
    if (status == AuthorizationStatus::NotDetermined)
        file.remove(key);
    else
        file.setValue(key, int(status));
    file.sync();
}

} // namespace

AuthorizationStatus PhotoLibrary::authorizationStatus() const {
    return storedStatus(kPhotosKey);
}

void PhotoLibrary::setAuthorizationStatus(AuthorizationStatus status) {
    storeStatus(kPhotosKey, status);
}

void PhotoLibrary::requestAuthorization(std::function<void(AuthorizationStatus)> handler) {
    const AuthorizationStatus known = authorizationStatus();
    if (known != AuthorizationStatus::NotDetermined || !prompts_) {
        dispatch::background([handler, known] { handler(known); });
        return;
    }
    dispatch::main([this, handler] {
        if (!prompts_) {
            dispatch::background([handler] { handler(AuthorizationStatus::NotDetermined); });
            return;
        }
        prompts_->askForPhotoAccess([this, handler](bool allowed) {
            const auto status =
                allowed ? AuthorizationStatus::Authorized : AuthorizationStatus::Denied;
            setAuthorizationStatus(status);
            dispatch::background([handler, status] { handler(status); });
        });
    });
}

void PhotoLibrary::openPrivacySettings(PrivacyService service) {
    if (prompts_)
        prompts_->showPrivacyPage(service);
}

AuthorizationStatus Camera::authorizationStatus() {
    return storedStatus(kCameraKey);
}

void Camera::setAuthorizationStatus(AuthorizationStatus status) {
    storeStatus(kCameraKey, status);
}

void Camera::requestAccess(std::function<void(bool granted)> handler) {
    const AuthorizationStatus known = authorizationStatus();
    PrivacyPrompts* prompts = PhotoLibrary::shared().privacyPrompts();
    if (known != AuthorizationStatus::NotDetermined || !prompts) {
        dispatch::background(
            [handler, known] { handler(known == AuthorizationStatus::Authorized); });
        return;
    }
    dispatch::main([handler] {
        PrivacyPrompts* asking = PhotoLibrary::shared().privacyPrompts();
        if (!asking) {
            dispatch::background([handler] { handler(false); });
            return;
        }
        asking->askForCameraAccess([handler](bool allowed) {
            setAuthorizationStatus(allowed ? AuthorizationStatus::Authorized
                                           : AuthorizationStatus::Denied);
            dispatch::background([handler, allowed] { handler(allowed); });
        });
    });
}

} // namespace flickbook::platform
