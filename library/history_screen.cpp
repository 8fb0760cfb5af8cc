#include "library/history_screen.h"

#include "common/common_utils.h"
#include "home/navigation_flags.h"
#include "home/navigation_rules.h"
#include "library/gif_preview_screen.h"
#include "platform/alert_controller.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "status_hud.h"
#include "store/gif_store.h"

#include <QPointer>
#include <algorithm>

namespace flickbook::library {

HistoryScreen::HistoryScreen(QObject* parent)
    : ViewController(parent), grid_(new HistoryGridModel(this)),
      lblMsg_(new platform::Label(tr("No GIFs yet.\nThe GIFs you make will wait for you here."),
                                  this)) {}

void HistoryScreen::viewDidLoad() {
    navigationItem()->setTitle(tr("My Work"));
    auto* back = home::makeBackButton(this);
    connect(back, &platform::BarButtonItem::triggered, this, &HistoryScreen::btnBack);
    navigationItem()->setLeftBarButtonItem(back);

    QPointer<HistoryScreen> self(this);
    platform::dispatch::mainAfter(kDelayBeforeListing, [self] {
        if (self)
            self->loadStoredGIFs();
    });
}

void HistoryScreen::loadStoredGIFs() {
    auto listed = store::GifStore::standard().list();
    if (listed) {
        arrOfFile.clear();
        for (const auto& path : *listed)
            arrOfFile << QUrl::fromLocalFile(QString::fromStdString(path.string()));
    } else {
        platform::consoleLine(QString::fromStdString(listed.error().message));
    }
    QPointer<HistoryScreen> self(this);
    platform::dispatch::main([self] {
        if (self)
            self->refreshGrid();
    });
}

void HistoryScreen::refreshGrid() {
    const auto count = arrOfFile.size();
    if (count != 0) {
        std::sort(arrOfFile.begin(), arrOfFile.end(), [](const QUrl& a, const QUrl& b) {
            return a.fileName().toUtf8() > b.fileName().toUtf8();
        });
    }
    lblMsg_->setHidden(count != 0);
    grid_->reloadData(arrOfFile);
}

void HistoryScreen::collectionViewDidSelectItem(int row) {
    if (row < 0 || row >= arrOfFile.size())
        return;
    selectedUrl = arrOfFile[row];
    home::openedFromHistory = true;
    performSegueWithIdentifier(QStringLiteral("segue_previewGIF"));
}

void HistoryScreen::prepareForSegue(const platform::StoryboardSegue& segue) {
    if (segue.identifier != QStringLiteral("segue_previewGIF"))
        return;
    if (auto* preview = qobject_cast<GIFPreviewScreen*>(segue.destination))
        preview->gifURL = selectedUrl;
}

void HistoryScreen::share(int tag) {
    if (tag < 0 || tag >= arrOfFile.size())
        return;
    common::presentShareSheet(this, {arrOfFile[tag]});
}

void HistoryScreen::deleteMusic(int tag) {
    auto* alert = new platform::AlertController(tr("Are you sure!"),
                                                tr("You want to delete this GIF?"), this);
    QPointer<HistoryScreen> self(this);
    alert->addAction(tr("Yes"), platform::AlertController::ActionStyle::Default, [self, tag] {
        if (!self || tag < 0 || tag >= self->arrOfFile.size())
            return;
        const QUrl gif = self->arrOfFile[tag];
        auto removed = store::GifStore::standard().remove(gif.toLocalFile().toStdString());
        if (!removed) {
            platform::consoleLine(QString::fromStdString(removed.error().message));
            return;
        }
        self->arrOfFile.removeAt(tag);
        if (self->arrOfFile.isEmpty())
            self->lblMsg_->setHidden(false);
        self->grid_->reloadData(self->arrOfFile);
        platform::dispatch::main(
            [] { components::StatusHUD::showSuccessWithStatus(tr("GIF successfully deleted.")); });
    });
    alert->addAction(tr("No"));
    alert->setEscapeAction(1); // Escape keeps the GIF
    present(alert);
}

void HistoryScreen::btnBack() {
    home::popOneScreen(this);
}

} // namespace flickbook::library
