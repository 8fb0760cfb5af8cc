#include "save_as.h"

#include "file_copy.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace flickbook::platform {

namespace {

QString& rememberedFolder() {
    static QString folder;
    return folder;
}

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");

} // namespace

QString SaveAs::lastFolder() {
    const QString remembered = rememberedFolder();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

SaveAs::SaveAs(const QUrl& file, QObject* parent)
    : QObject(parent), file_(file), folder_(lastFolder()) {}

QString SaveAs::suggestedName() const {
    return QFileInfo(file_.toLocalFile()).fileName();
}

void SaveAs::setFolder(const QUrl& folder) {
    const QString path = folder.toLocalFile();
    if (path.isEmpty() || path == folder_)
        return;
    folder_ = path;
    nameToReplace_.clear();
    error_.clear();
    Q_EMIT folderChanged();
    Q_EMIT errorChanged();
}

bool SaveAs::fail(const QString& message, const QString& taken) {
    error_ = message;
    nameToReplace_ = taken;
    Q_EMIT errorChanged();
    return false;
}

QString SaveAs::fileNameFor(const QString& typed) const {
    QString name = typed.trimmed();
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + QFileInfo(file_.toLocalFile()).suffix();
    return name;
}

bool SaveAs::save(const QString& name) {
    const QString chosen = fileNameFor(name);
    if (chosen.isEmpty())
        return fail(tr("Type a name for the copy."));
    if (chosen.contains(QLatin1Char('/')))
        return fail(tr("A name cannot hold “/”."));
    // The Pictures folder may not be there yet on a new account.
    QDir().mkpath(folder_);
    const QString target = QDir(folder_).filePath(chosen);
    const bool confirmed = chosen == nameToReplace_;
    if (QFileInfo::exists(target) && !confirmed)
        return fail(tr("“%1” already exists in %2. Replace it?").arg(chosen, folder_), chosen);
    return write(target, confirmed);
}

bool SaveAs::write(const QString& target, bool replacing) {
    if (done_)
        return false;
    QFile source(file_.toLocalFile());
    if (!source.open(QIODevice::ReadOnly))
        return fail(tr("%1 cannot be read: %2").arg(suggestedName(), source.errorString()));
    if (!replacing && QFileInfo::exists(target))
        return fail(tr("“%1” already exists. Replace it?").arg(QFileInfo(target).fileName()),
                    QFileInfo(target).fileName());
    // Written beside the target and renamed into place only when complete.
    QSaveFile copy(target);
    if (!copy.open(QIODevice::WriteOnly))
        return fail(
            tr("Cannot save in %1: %2").arg(QFileInfo(target).absolutePath(), copy.errorString()));
    if (copyRemaining(source, copy) != CopyOutcome::Copied) {
        copy.cancelWriting();
        return fail(tr("The copy could not be written: %1").arg(copy.errorString()));
    }
    if (!copy.commit())
        return fail(tr("The copy could not be saved: %1").arg(copy.errorString()));
    done_ = true;
    rememberedFolder() = QFileInfo(target).absolutePath();
    Q_EMIT finished(target);
    return true;
}

void SaveAs::cancel() {
    if (done_)
        return;
    done_ = true;
    Q_EMIT finished(QString());
}

bool SaveAs::askDesktop() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kPortalService).value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.FileChooser"), QStringLiteral("SaveFile"));
    QVariantMap options;
    options.insert(QStringLiteral("current_name"), suggestedName());
    // The portal wants the folder as bytes ending in a zero byte.
    QByteArray folder = QFile::encodeName(folder_);
    folder.append('\0');
    options.insert(QStringLiteral("current_folder"), folder);
    options.insert(QStringLiteral("accept_label"), tr("Save"));
    call << QString() << tr("Save As") << options;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this,
        [this](QDBusPendingCallWatcher* answered) {
            answered->deleteLater();
            QDBusPendingReply<QDBusObjectPath> reply = *answered;
            if (reply.isError()) {
                fail(tr("The file chooser could not be opened: %1").arg(reply.error().message()));
                cancel();
                return;
            }
            QDBusConnection::sessionBus().connect(kPortalService, reply.value().path(),
                                                  QStringLiteral("org.freedesktop.portal.Request"),
                                                  QStringLiteral("Response"), this,
                                                  SLOT(portalResponse(uint, QVariantMap)));
        });
    return true;
}

void SaveAs::portalResponse(uint response, const QVariantMap& results) {
    const QStringList uris = results.value(QStringLiteral("uris")).toStringList();
    if (response != 0 || uris.isEmpty()) {
        cancel();
        return;
    }
    // The desktop's chooser already asked before replacing a file.
    const QUrl target(uris.first());
    if (!write(target.toLocalFile(), true))
        cancel();
}

} // namespace flickbook::platform
