#include "user_defaults.h"

#include <QStandardPaths>

namespace flickbook::platform {

namespace {
std::unique_ptr<UserDefaults>& sharedDefaults() {
    static std::unique_ptr<UserDefaults> shared;
    return shared;
}
} // namespace

UserDefaults& UserDefaults::standard() {
    auto& shared = sharedDefaults();
    if (!shared)
        shared = std::make_unique<UserDefaults>();
    return *shared;
}

void UserDefaults::reset() {
    sharedDefaults().reset();
}

QString UserDefaults::filePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Flickbook/Flickbook.conf");
}

UserDefaults::UserDefaults()
    : settings_(std::make_unique<QSettings>(filePath(), QSettings::IniFormat)) {}

QVariant UserDefaults::objectForKey(const QString& key) const {
    return settings_->contains(key) ? settings_->value(key) : QVariant();
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    settings_->setValue(key, value);
}

bool UserDefaults::synchronize() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

} // namespace flickbook::platform
