#pragma once

// Keeps the books on the work folder while the monkey plays: a GIF may only
// disappear when the user confirmed its deletion, no GIF is ever changed,
// and every GIF the app said it made is there at the end, whole.

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace flickbook::monkey {

class WorkFolderWatch {
public:
    explicit WorkFolderWatch(QString folder);

    // Compares the folder with the last look; `deletionConfirmable` says that
    // a delete alert was showing before the last event. Problems found are
    // returned (empty when all is well).
    QStringList look(bool deletionConfirmable);

    // A GIF the app showed as just made.
    void madeGif(const QString& path);
    int madeCount() const { return int(made_.size()); }
    int deletedCount() const { return int(deleted_.size()); }

    // After the app has exited: every GIF made and not deleted decodes
    // completely, and no temporary file is left in the work folder or in
    // `temporaryFolder`.
    QStringList finalCheck(const QString& temporaryFolder) const;

private:
    struct State {
        qint64 size = 0;
        QDateTime modified;
        bool operator==(const State&) const = default;
    };
    QHash<QString, State> list() const;

    QString folder_;
    QHash<QString, State> last_;
    QSet<QString> made_;
    QSet<QString> deleted_;
};

} // namespace flickbook::monkey
