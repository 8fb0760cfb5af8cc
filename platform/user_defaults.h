#pragma once

// The standard user defaults: a small key-value store that survives restarts,
// kept as an INI file at $XDG_CONFIG_HOME/Flickbook/Flickbook.conf.

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace flickbook::platform {

class UserDefaults {
public:
    // Opened on first use, from the environment of that moment.
    static UserDefaults& standard();
    // Drops the shared instance so the next standard() reads the file again;
    // tests use it after pointing XDG_CONFIG_HOME elsewhere.
    static void reset();

    static QString filePath();

    // Use standard(); a second instance would read the same file.
    UserDefaults();

    // An invalid QVariant when nothing is stored under key.
    QVariant objectForKey(const QString& key) const;
    void setObject(const QVariant& value, const QString& key);
    // Writes pending changes to disk now.
    bool synchronize();

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace flickbook::platform
