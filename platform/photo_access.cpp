// Access to the photo library: asked once, remembered in Flickbook's own
// privacy file beside its settings, changeable on its privacy page.

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

} // namespace

AuthorizationStatus PhotoLibrary::authorizationStatus() const {
    const int stored = privacyFile().value(kPhotosKey, 0).toInt();
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

void PhotoLibrary::setAuthorizationStatus(AuthorizationStatus status) {
    QSettings file = privacyFile();
    if (status == AuthorizationStatus::NotDetermined)
        file.remove(kPhotosKey);
    else
        file.setValue(kPhotosKey, int(status));
    file.sync();
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

void PhotoLibrary::openPrivacySettings() {
    if (prompts_)
        prompts_->showPrivacyPage();
}

} // namespace flickbook::platform
