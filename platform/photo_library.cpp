#include "photo_library.h"

#include "dispatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace flickbook::platform {

PhotoLibrary& PhotoLibrary::shared() {
    static PhotoLibrary library;
    return library;
}

QString PhotoLibrary::flickbookAlbum() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) +
           QStringLiteral("/Flickbook");
}

void PhotoLibrary::addFile(const QUrl& file, AddCompletion completion) {
    dispatch::background(
        [file, completion = std::move(completion)] { addFileNow(file, completion); });
}

void PhotoLibrary::addFileNow(const QUrl& file, const AddCompletion& completion) {
    auto fail = [&](const QString& message) {
        if (completion)
            completion(std::nullopt, message);
    };
    const QString sourcePath = file.toLocalFile();
    QFile source(sourcePath);
    if (!file.isLocalFile() || !source.open(QIODevice::ReadOnly))
        return fail(QObject::tr("%1 cannot be read: %2")
                        .arg(QFileInfo(sourcePath).fileName(), source.errorString()));
    const QString album = flickbookAlbum();
    if (!QDir().mkpath(album))
        return fail(QObject::tr("The folder %1 cannot be made.").arg(album));

    // Written whole beside its final place, then given a name nobody has.
    QTemporaryFile copy(album + QStringLiteral("/.saving-XXXXXX.part"));
    if (!copy.open())
        return fail(QObject::tr("Cannot write in %1: %2").arg(album, copy.errorString()));
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            return fail(QObject::tr("%1 cannot be read: %2")
                            .arg(QFileInfo(sourcePath).fileName(), source.errorString()));
        if (copy.write(chunk) != chunk.size())
            return fail(QObject::tr("Cannot write in %1: %2").arg(album, copy.errorString()));
    }
    if (!copy.flush())
        return fail(QObject::tr("Cannot write in %1: %2").arg(album, copy.errorString()));

    const QFileInfo info(sourcePath);
    const QString stem = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    for (int n = 1; n < 10000; ++n) {
        const QString name =
            n == 1 ? stem + suffix : QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(suffix);
        const QString target = album + "/" + name;
        if (QFileInfo::exists(target))
            continue;
        // QFile::rename refuses to replace an existing file, so a name taken
        // in the meantime only moves us on to the next one.
        if (copy.rename(target)) {
            copy.setAutoRemove(false);
            copy.setPermissions(source.permissions() | QFileDevice::ReadOwner |
                                QFileDevice::WriteOwner);
            if (completion)
                completion(target, std::nullopt);
            return;
        }
    }
    fail(QObject::tr("No free name for %1 in %2.").arg(info.fileName(), album));
}

} // namespace flickbook::platform
