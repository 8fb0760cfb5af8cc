#include "app/file_opener.h"

#include "common/common_utils.h"
#include "home/home_screen.h"
#include "home/navigation_flags.h"
#include "media/probe.h"
#include "photos/image_animation_screen.h"
#include "platform/alert_controller.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "platform/navigation_controller.h"
#include "platform/photo_library.h"
#include "platform/storyboard.h"
#include "status_hud.h"
#include "video/trim_video_screen.h"

#include <QFileInfo>
#include <QImageReader>

namespace flickbook::app {

FileOpener::FileOpener(platform::NavigationController& navigation,
                       const platform::Storyboard& storyboard, QObject* parent)
    : QObject(parent), navigation_(navigation), storyboard_(storyboard) {}

QList<QUrl> FileOpener::filesFromArguments(const QStringList& arguments,
                                           const QString& workingFolder) {
    QList<QUrl> files;
    for (const QString& argument : arguments)
        files << QUrl::fromUserInput(argument, workingFolder, QUrl::AssumeLocalFile);
    return files;
}

FileOpener::Sorted FileOpener::sort(const QList<QUrl>& files) {
    Sorted sorted;
    for (const QUrl& file : files) {
        const QString path = file.toLocalFile();
        if (!file.isLocalFile() || !QFileInfo(path).isFile()) {
            sorted.unreadable << (path.isEmpty() ? file.toString() : path);
            continue;
        }
        // A still picture is a picture even when FFmpeg could read it as a
        // one-frame video; an animated GIF is taken as the picture it starts with.
        QImageReader picture(path);
        if (picture.canRead() && picture.imageCount() <= 1) {
            sorted.pictures << path;
            continue;
        }
        const auto video = media::probe(path.toStdString());
        if (video && std::isfinite(video->durationSeconds) && video->durationSeconds > 0)
            sorted.videos << path;
        else if (picture.canRead())
            sorted.pictures << path;
        else
            sorted.unreadable << path;
    }
    return sorted;
}

void FileOpener::openFiles(const QList<QUrl>& files) {
    if (files.isEmpty())
        return;
    // While the HUD is up (a GIF is being made) nothing else may start.
    if (components::StatusHUD::shared().isVisible()) {
        platform::consoleLine(tr("Busy: the files are not opened."));
        return;
    }
    QPointer<FileOpener> self(this);
    platform::dispatch::background([self, files] {
        const Sorted sorted = sort(files);
        platform::dispatch::main([self, sorted] {
            if (self)
                self->open(sorted);
        });
    });
}

void FileOpener::openWhenHomeIsShown(const QList<QUrl>& files) {
    waiting_ += files;
    auto atHome = [this] {
        return qobject_cast<home::HomeScreen*>(navigation_.topViewController()) != nullptr;
    };
    if (atHome()) {
        openFiles(std::exchange(waiting_, {}));
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&navigation_, &platform::NavigationController::stackChanged, this,
                          [this, atHome, connection] {
                              if (!atHome())
                                  return;
                              disconnect(*connection);
                              openFiles(std::exchange(waiting_, {}));
                          });
}

void FileOpener::open(const Sorted& sorted) {
    for (const QString& path : sorted.unreadable)
        platform::consoleLine(
            tr("%1 is neither a video nor a picture Flickbook can read.").arg(path));
    if (!sorted.videos.isEmpty())
        openVideo(sorted.videos.first());
    else if (!sorted.pictures.isEmpty())
        openPictures(sorted.pictures);
    else
        refuse();
}

void FileOpener::openVideo(const QString& path) {
    const auto* scene = storyboard_.scene(QStringLiteral("segue_trim"));
    if (!scene || !scene->make)
        return;
    home::videoFromLibrary = true; // Back returns to where the user was
    auto* trim = qobject_cast<video::TrimVideoScreen*>(scene->make(&navigation_));
    trim->selectedvideoAsset = QUrl::fromLocalFile(path);
    navigation_.pushViewController(trim, scene->page, true);
    Q_EMIT handled();
}

void FileOpener::openPictures(const QList<QString>& paths) {
    components::StatusHUD::show();
    QPointer<FileOpener> self(this);
    platform::dispatch::background([self, paths] {
        QList<QImage> images;
        for (const QString& path : paths) {
            QImage image = platform::PhotoLibrary::requestFrameImage({path, {}});
            if (image.isNull()) {
                platform::dispatch::main([self, path] {
                    components::StatusHUD::dismiss();
                    if (!self)
                        return;
                    auto* alert = new platform::AlertController(
                        tr("Can not load photo"),
                        tr("“%1” could not be read.").arg(QFileInfo(path).fileName()));
                    alert->setTintColor(Qt::black);
                    alert->addAction(tr("OK"));
                    self->navigation_.presentAlert(alert);
                    Q_EMIT self->handled();
                });
                return;
            }
            images << std::move(image);
        }
        platform::dispatch::main([self, images = std::move(images)]() mutable {
            components::StatusHUD::dismiss();
            if (!self)
                return;
            const auto* scene = self->storyboard_.scene(QStringLiteral("segue_imageAnimation"));
            if (!scene || !scene->make)
                return;
            auto* frames =
                qobject_cast<photos::ImageAnimationScreen*>(scene->make(&self->navigation_));
            frames->arrOfSelectedImages = std::move(images);
            self->navigation_.pushViewController(frames, scene->page, true);
            Q_EMIT self->handled();
        });
    });
}

void FileOpener::refuse() {
    common::showAlert(tr("Alert"), tr("Please select another video."),
                      navigation_.topViewController());
    Q_EMIT handled();
}

} // namespace flickbook::app
