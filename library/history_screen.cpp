#include "library/history_screen.h"

#include "home/navigation_flags.h"
#include "home/navigation_rules.h"
#include "library/gif_preview_screen.h"
#include "platform/alert_controller.h"
#include "platform/desktop.h"
#include "platform/dispatch.h"
#include "platform/share_sheet.h"
#include "status_hud.h"
#include "store/gif_store.h"

#include <QPointer>
#include <algorithm>
#include <cmath>

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

int HistoryScreen::columnsForWidth(double gridWidth) const {
    // Phones keep two columns; wider windows add columns of about 180 points.
    if (gridWidth < 600.0)
        return 2;
    return std::max(3, int(std::floor((gridWidth - 12.0) / 192.0)));
}

double HistoryScreen::cellSide(double gridWidth) const {
    const int columns = columnsForWidth(gridWidth);
    if (columns == 2)
        return (gridWidth - kGutters) * 0.5;
    const double gutter = kGutters / 3.0;
    return (gridWidth - gutter * (columns + 1)) / columns;
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
    auto* sheet = new platform::ShareSheet({arrOfFile[tag]}, this, this);
    if (auto* popover = sheet->popoverPresentationController()) {
        popover->setSourceView(this);
        popover->setSourceRect(QRectF(0, 0, viewSize().width(), 300.0));
    }
    present(sheet);
}

void HistoryScreen::deleteMusic(int tag) {
    auto* alert = new platform::AlertController(
        QStringLiteral("Are you sure!"), QStringLiteral("You want to delete this GIF?"), this);
    QPointer<HistoryScreen> self(this);
    alert->addAction(
        QStringLiteral("Yes"), platform::AlertController::ActionStyle::Default, [self, tag] {
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
            platform::dispatch::main([] {
                components::StatusHUD::showSuccessWithStatus(
                    QStringLiteral("GIF successfully deleted."));
            });
        });
    alert->addAction(QStringLiteral("No"));
    present(alert);
}

void HistoryScreen::btnBack() {
    home::popOneScreen(this);
}

} // namespace flickbook::library
