#include "work_folder_watch.h"

#include "gif/animation.h"

#include <QDir>
#include <QFileInfo>

namespace flickbook::monkey {

WorkFolderWatch::WorkFolderWatch(QString folder) : folder_(std::move(folder)), last_(list()) {}

// The GIFs the user sees; hidden files are renders under way.
QHash<QString, WorkFolderWatch::State> WorkFolderWatch::list() const {
    QHash<QString, State> states;
    for (const QFileInfo& info : QDir(folder_).entryInfoList(QDir::Files))
        states.insert(info.fileName(), {info.size(), info.lastModified()});
    return states;
}

QStringList WorkFolderWatch::look(bool deletionConfirmable) {
    QStringList problems;
    const auto now = list();
    for (auto it = last_.cbegin(); it != last_.cend(); ++it) {
        const auto found = now.find(it.key());
        if (found == now.end()) {
            if (deletionConfirmable)
                deleted_.insert(it.key());
            else
                problems
                    << QStringLiteral("%1 disappeared without a confirmed deletion").arg(it.key());
        } else if (!(*found == *it)) {
            problems << QStringLiteral("%1 changed (%2 → %3 bytes)")
                            .arg(it.key())
                            .arg(it->size)
                            .arg(found->size);
        }
    }
    last_ = now;
    return problems;
}

void WorkFolderWatch::madeGif(const QString& path) {
    made_.insert(QFileInfo(path).fileName());
}

QStringList WorkFolderWatch::finalCheck(const QString& temporaryFolder) const {
    QStringList problems;
    for (const QString& name : made_) {
        if (deleted_.contains(name))
            continue;
        const QString path = folder_ + "/" + name;
        if (!QFileInfo::exists(path)) {
            problems << QStringLiteral("%1 was made but is gone").arg(name);
            continue;
        }
        auto decoded = gif::decodeAnimation(path.toStdString());
        if (!decoded)
            problems << QStringLiteral("%1 does not decode: %2")
                            .arg(name, QString::fromStdString(decoded.error().message));
        else if (decoded->damage)
            problems << QStringLiteral("%1 is damaged: %2")
                            .arg(name, QString::fromStdString(decoded->damage->message));
    }
    for (const QFileInfo& info : QDir(folder_).entryInfoList(QDir::Files | QDir::Hidden))
        if (info.fileName().startsWith('.'))
            problems << QStringLiteral("%1 is left in the work folder").arg(info.fileName());
    for (const QFileInfo& info :
         QDir(temporaryFolder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        problems << QStringLiteral("%1 is left in the temporary folder").arg(info.fileName());
    return problems;
}

} // namespace flickbook::monkey
