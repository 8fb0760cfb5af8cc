#include "video/select_video_screen.h"

#include "home/navigation_rules.h"
#include "platform/alert_controller.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "video/trim_video_screen.h"

#include <QPointer>

namespace flickbook::video {

using platform::AuthorizationStatus;
using platform::PhotoLibrary;

SelectVideoScreen::SelectVideoScreen(QObject* parent)
    : ViewController(parent), grid_(new VideoGridModel(this)),
      lblMsg_(new platform::Label(
          tr("No videos yet.\nVideos in your Videos folder appear here, or open one from "
             "anywhere with Open File."),
          this)) {
    lblMsg_->setHidden(true);
}

QUrl SelectVideoScreen::videosFolder() const {
    return QUrl::fromLocalFile(PhotoLibrary::videosFolder());
}

void SelectVideoScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("Select Video"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &SelectVideoScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
    auto* open = new platform::BarButtonItem(tr("Open File…"), this);
    connect(open, &platform::BarButtonItem::triggered, this, &SelectVideoScreen::btnOpenFile);
    navigationItem()->setRightBarButtonItem(open);

    QPointer<SelectVideoScreen> self(this);
    platform::dispatch::main([self] {
        if (!self)
            return;
        PhotoLibrary::shared().requestAuthorization([self](AuthorizationStatus status) {
            switch (status) {
            case AuthorizationStatus::Denied:
                platform::dispatch::main([self] {
                    if (self)
                        self->showAccessAlert();
                });
                break;
            case AuthorizationStatus::Authorized:
                platform::dispatch::main([self] {
                    if (self)
                        self->fetchVideos();
                });
                break;
            default:
                platform::consoleLine(tr("Not Determine"));
                break;
            }
        });
    });
}

void SelectVideoScreen::showAccessAlert() {
    auto* alert = new platform::AlertController(
        tr("You doen't give photo library access permission!"),
        tr("Go to setting menu and give permission to continue."), this);
    alert->addAction(tr("Setting"), platform::AlertController::ActionStyle::Default,
                     [] { PhotoLibrary::shared().openPrivacySettings(); });
    present(alert);
}

void SelectVideoScreen::fetchVideos() {
    // A big Videos folder takes a while to walk: off the GUI thread.
    QPointer<SelectVideoScreen> self(this);
    platform::dispatch::background([self] {
        auto videos = PhotoLibrary::shared().fetchVideos();
        platform::dispatch::main([self, videos = std::move(videos)]() mutable {
            if (self)
                self->showVideos(std::move(videos));
        });
    });
}

void SelectVideoScreen::showVideos(std::vector<platform::VideoAsset> videos) {
    videoList = std::move(videos);
    lblMsg_->setHidden(!videoList.empty());
    grid_->reloadData(videoList);
}

void SelectVideoScreen::collectionViewDidSelectItem(int row) {
    if (row < 0 || row >= int(videoList.size()))
        return;
    choose(videoList[std::size_t(row)]);
}

void SelectVideoScreen::openFile(const QUrl& file) {
    if (!file.isLocalFile())
        return;
    choose(platform::VideoAsset{file.toLocalFile(), {}});
}

void SelectVideoScreen::btnOpenFile() {
    Q_EMIT fileChooserRequested();
}

void SelectVideoScreen::choose(const platform::VideoAsset& video) {
    QPointer<SelectVideoScreen> self(this);
    PhotoLibrary::shared().requestAVAsset(video, [self](std::optional<QUrl> asset) {
        platform::dispatch::main([self, asset] {
            if (!self)
                return;
            if (!asset) {
                common::showAlert(tr("Alert"), tr("Please select another video."), self);
                return;
            }
            self->selectedvideoAsset = asset;
            self->performSegueWithIdentifier(QStringLiteral("segue_trim"));
        });
    });
}

void SelectVideoScreen::prepareForSegue(const platform::StoryboardSegue& segue) {
    if (segue.identifier != QStringLiteral("segue_trim"))
        return;
    if (auto* trim = qobject_cast<TrimVideoScreen*>(segue.destination))
        trim->selectedvideoAsset = selectedvideoAsset;
}

void SelectVideoScreen::btnBack() {
    home::popOneScreen(this);
}

} // namespace flickbook::video
