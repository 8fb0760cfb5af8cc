#include "photos/select_images.h"

#include "home/navigation_rules.h"
#include "photos/image_animation_screen.h"
#include "platform/alert_controller.h"
#include "platform/dispatch.h"
#include "platform/navigation_controller.h"
#include "status_hud.h"

#include <QFileInfo>
#include <QPointer>
#include <algorithm>

namespace flickbook::photos {

using platform::AuthorizationStatus;
using platform::PhotoLibrary;

SelectImages::SelectImages(QObject* parent)
    : ViewController(parent), grid_(new PhotoGridModel(
                                  [this](const platform::PhotoAsset& photo) {
                                      const auto found = std::find(arrOfSelectedAsset.begin(),
                                                                   arrOfSelectedAsset.end(), photo);
                                      return found == arrOfSelectedAsset.end()
                                                 ? 0
                                                 : int(found - arrOfSelectedAsset.begin()) + 1;
                                  },
                                  this)),
      lblMsg_(new platform::Label(tr("No photos yet.\nPhotos in your Pictures folder appear here."),
                                  this)) {
    lblMsg_->setHidden(true);
}

SelectImages::~SelectImages() {
    // The grid outlives this destructor (Qt deletes it after), and the page
    // may read it once more as it lets go; the choices it would read are gone.
    grid_->forgetOrder();
}

void SelectImages::viewDidLoad() {
    navigationItem()->setTitle(tr("Select Images"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &SelectImages::btnBack);
    navigationItem()->setLeftBarButtonItem(back);
    auto* done = new platform::BarButtonItem(tr("Done"), this);
    connect(done, &platform::BarButtonItem::triggered, this, &SelectImages::btnDone);
    navigationItem()->setRightBarButtonItem(done);
    done->setEnabled(false);

    QPointer<SelectImages> self(this);
    platform::dispatch::main([self] {
        if (!self)
            return;
        PhotoLibrary::shared().requestAuthorization([self](AuthorizationStatus status) {
            switch (status) {
            case AuthorizationStatus::Restricted:
            case AuthorizationStatus::Denied:
                platform::dispatch::main([self] {
                    if (self)
                        self->showAccessAlert();
                });
                break;
            case AuthorizationStatus::Authorized:
                platform::dispatch::main([self] {
                    if (self)
                        self->fetchPhotos();
                });
                break;
            default:
                break;
            }
        });
    });
}

void SelectImages::showAccessAlert() {
    auto* alert = new platform::AlertController(
        tr("Can not access Photos!"),
        QStringLiteral("You have not given permission for access Photos. \nGoto settings and "
                       "give permission to access Photos."),
        this);
    alert->addAction(tr("Cancel"));
    alert->setEscapeAction(0);
    alert->addAction(tr("Setting"), platform::AlertController::ActionStyle::Default,
                     [] { PhotoLibrary::shared().openPrivacySettings(); });
    present(alert);
}

void SelectImages::fetchPhotos() {
    // Reading every photo's header takes a while in a big library: off the
    // GUI thread, then back for the grid.
    QPointer<SelectImages> self(this);
    platform::dispatch::background([self] {
        auto photos = PhotoLibrary::shared().fetchPhotos();
        platform::dispatch::main([self, photos = std::move(photos)]() mutable {
            if (self)
                self->showPhotos(std::move(photos));
        });
    });
}

void SelectImages::showPhotos(std::vector<platform::PhotoAsset> photos) {
    arrOfImage = std::move(photos);
    lblMsg_->setHidden(!arrOfImage.empty());
    grid_->reloadData(arrOfImage);
}

void SelectImages::collectionViewDidSelectItem(int row) {
    if (row < 0 || row >= int(arrOfImage.size()))
        return;
    const platform::PhotoAsset& photo = arrOfImage[std::size_t(row)];
    auto found = std::find(arrOfSelectedAsset.rbegin(), arrOfSelectedAsset.rend(), photo);
    if (found != arrOfSelectedAsset.rend()) {
        arrOfSelectedAsset.erase(std::next(found).base());
        grid_->reloadChoices(); // the photos chosen after it move up a place
    } else {
        arrOfSelectedAsset.push_back(photo);
        grid_->reloadItem(row);
    }
    navigationItem()->rightBarButtonItem()->setEnabled(!arrOfSelectedAsset.empty());
    Q_EMIT selectionChanged();
}

void SelectImages::btnDone() {
    if (arrOfSelectedAsset.empty())
        return;
    components::StatusHUD::show();
    QPointer<SelectImages> self(this);
    const std::vector<platform::PhotoAsset> chosen = arrOfSelectedAsset;
    // The HUD takes every touch until the loading ends, so the choice
    // cannot change underneath the loop; it reads its own copy all the same.
    platform::dispatch::background([self, chosen] {
        QList<QImage> images;
        for (const platform::PhotoAsset& photo : chosen) {
            QImage image = PhotoLibrary::requestFrameImage(photo);
            if (image.isNull()) {
                platform::dispatch::main([self, path = photo.path] {
                    if (self)
                        self->loadFailed(path);
                });
                return;
            }
            images << std::move(image);
        }
        platform::dispatch::main([self, images = std::move(images)]() mutable {
            if (!self)
                return;
            self->arrOfSelectedImages = std::move(images);
            components::StatusHUD::dismiss();
            self->performSegueWithIdentifier(QStringLiteral("segue_imageAnimation"));
        });
    });
}

void SelectImages::loadFailed(const QString& photo) {
    components::StatusHUD::dismiss();
    auto* alert = new platform::AlertController(
        tr("Can not load photo"),
        tr("“%1” could not be read. Tap it to leave it out, or choose another photo.")
            .arg(QFileInfo(photo).fileName()),
        this);
    alert->setTintColor(Qt::black);
    alert->addAction(tr("OK"));
    present(alert);
}

void SelectImages::prepareForSegue(const platform::StoryboardSegue& segue) {
    if (segue.identifier != QStringLiteral("segue_imageAnimation"))
        return;
    if (auto* animation = qobject_cast<ImageAnimationScreen*>(segue.destination))
        animation->arrOfSelectedImages = arrOfSelectedImages;
}

void SelectImages::btnBack() {
    home::popOneScreen(this);
}

} // namespace flickbook::photos
