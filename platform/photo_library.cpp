#include "photo_library.h"

#include "decode_budgets.h"
#include "dispatch.h"
#include "file_copy.h"
#include "gif/animation.h"
#include "image/exif.h"
#include "media/probe.h"
#include "media/thumbnails.h"
#include "picture_loading.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>

namespace flickbook::platform {

PhotoLibrary& PhotoLibrary::shared() {
    static PhotoLibrary library;
    return library;
}

QString PhotoLibrary::picturesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

namespace {

bool isHiddenBelow(const QString& path, const QString& root) {
    const QString relative = path.mid(root.size());
    return relative.contains(QStringLiteral("/."));
}

QDateTime creationDate(const QFileInfo& file) {
    if (auto taken = image::exifDateTimeOriginal(file.absoluteFilePath().toStdString())) {
        const QDateTime date(QDate(taken->year, taken->month, taken->day),
                             QTime(taken->hour, taken->minute, taken->second));
        if (date.isValid())
            return date;
    }
    // The modification time survives copying from a camera or another
    // computer; the birth time is only when the copy was made.
    return file.lastModified();
}

} // namespace

std::vector<PhotoAsset> PhotoLibrary::fetchPhotos() const {
    const QString root = picturesFolder();
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString suffix = QString::fromLatin1(format).toLower();
        if (suffix == "svg" || suffix == "svgz" || suffix == "pdf" || suffix == "ico" ||
            suffix == "cur" || suffix == "icns" || suffix == "xpm" || suffix == "xbm" ||
            suffix == "pbm" || suffix == "pgm" || suffix == "ppm")
            continue; // drawings and icons, not photos
        patterns << "*." + suffix << "*." + suffix.toUpper();
    }
    std::vector<PhotoAsset> photos;
    QDirIterator it(root, patterns, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (isHiddenBelow(path, root))
            continue;
        photos.push_back({path, creationDate(it.fileInfo())});
    }
    std::sort(photos.begin(), photos.end(), [](const PhotoAsset& a, const PhotoAsset& b) {
        if (a.creationDate != b.creationDate)
            return a.creationDate > b.creationDate;
        return a.path < b.path;
    });
    return photos;
}

QString PhotoLibrary::videosFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

namespace {
// Containers people's cameras, phones, screen recorders and TV tuners write.
const QStringList& videoPatterns() {
    static const QStringList patterns = [] {
        QStringList list;
        for (const char* suffix :
             {"mp4", "m4v",  "mov", "mkv", "webm", "avi", "wmv", "flv", "3gp", "3g2",
              "mts", "m2ts", "ts",  "mpg", "mpeg", "ogv", "asf", "vob", "mxf", "dv"}) {
            list << QStringLiteral("*.") + QLatin1String(suffix)
                 << QStringLiteral("*.") + QString::fromLatin1(suffix).toUpper();
        }
        return list;
    }();
    return patterns;
}
} // namespace

std::vector<VideoAsset> PhotoLibrary::fetchVideos() const {
    std::vector<VideoAsset> videos;
    QDirIterator it(videosFolder(), videoPatterns(), QDir::Files | QDir::Readable | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        videos.push_back({path, it.fileInfo().lastModified()});
    }
    std::sort(videos.begin(), videos.end(), [](const VideoAsset& a, const VideoAsset& b) {
        if (a.creationDate != b.creationDate)
            return a.creationDate > b.creationDate;
        return a.path < b.path;
    });
    return videos;
}

std::optional<VideoDetails> PhotoLibrary::requestVideoDetails(const VideoAsset& asset) {
    const auto info = media::probe(asset.path.toStdString());
    if (!info || !std::isfinite(info->durationSeconds))
        return std::nullopt;
    return VideoDetails{info->durationSeconds};
}

QImage PhotoLibrary::requestVideoImage(const VideoAsset& asset, QSize targetSize) {
    // A second in, past the fade from black many clips begin with (the last
    // frame of a shorter clip).
    const auto frame =
        media::thumbnailAt(asset.path.toStdString(), 1.0, targetSize.width(), targetSize.height());
    if (!frame)
        return QImage();
    QImage picture(int(frame->width), int(frame->height), QImage::Format_RGBA8888);
    for (int y = 0; y < picture.height(); ++y)
        std::copy_n(frame->pixels.data() + std::size_t(y) * frame->width * 4,
                    std::size_t(frame->width) * 4, picture.scanLine(y));
    return picture;
}

void PhotoLibrary::requestAVAsset(const VideoAsset& asset,
                                  std::function<void(std::optional<QUrl>)> handler) {
    dispatch::background([asset, handler = std::move(handler)] {
        handler(requestVideoDetails(asset) ? std::optional<QUrl>(asset.url()) : std::nullopt);
    });
}

QImage PhotoLibrary::requestImage(const PhotoAsset& asset, QSize targetSize) {
    if (!targetSize.isValid())
        return components::readPictureUpright(asset.path);
    return components::readPictureUpright(
        asset.path,
        image::Size{std::uint32_t(targetSize.width()), std::uint32_t(targetSize.height())});
}

namespace {

// Photos are held together until they are rendered: opaque ones keep three
// bytes a pixel instead of four.
QImage compact(QImage image) {
    if (!image.isNull() && !image.hasAlphaChannel() && image.format() != QImage::Format_RGB888)
        image.convertTo(QImage::Format_RGB888);
    return image;
}

} // namespace

QImage PhotoLibrary::requestFullSizeImage(const PhotoAsset& asset) {
    return compact(components::readPictureUpright(asset.path));
}

QImage PhotoLibrary::requestFrameImage(const PhotoAsset& asset) {
    const image::Size bound{image::kMaxCanvasLongEdge, image::kMaxCanvasLongEdge};
    return compact(components::readPictureUpright(asset.path, bound));
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
    // Only a GIF that can be read goes among the user's pictures.
    gif::DecodeOptions options;
    options.limits.maxDecodedBytes = kFirstFrameDecodeBytes;
    if (!gif::decodeFirstFrame(sourcePath.toStdString(), options))
        return fail(QObject::tr("“%1” is not a GIF that can be read.")
                        .arg(QFileInfo(sourcePath).fileName()));
    const QString album = flickbookAlbum();
    if (!QDir().mkpath(album))
        return fail(QObject::tr("The folder %1 cannot be made.").arg(album));

    // Written whole beside its final place, then given a name nobody has.
    QTemporaryFile copy(album + QStringLiteral("/.saving-XXXXXX.part"));
    if (!copy.open())
        return fail(QObject::tr("Cannot write in %1: %2").arg(album, copy.errorString()));
    switch (copyRemaining(source, copy)) {
    case CopyOutcome::ReadFailed:
        return fail(QObject::tr("%1 cannot be read: %2")
                        .arg(QFileInfo(sourcePath).fileName(), source.errorString()));
    case CopyOutcome::WriteFailed:
        return fail(QObject::tr("Cannot write in %1: %2").arg(album, copy.errorString()));
    case CopyOutcome::Copied:
        break;
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
