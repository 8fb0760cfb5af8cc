#include "share_sheet.h"

#include "desktop.h"
#include "file_copy.h"
#include "view_controller.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSaveFile>
#include <QUrlQuery>
#include <memory>

namespace flickbook::platform {

void PopoverPresentationController::setSourceRect(const QRectF& rect) {
    sourceRect_ = rect;
    Q_EMIT changed();
}

void PopoverPresentationController::setSourceView(ViewController* view) {
    sourceView_ = view;
    Q_EMIT changed();
}

ShareSheet::ShareSheet(const QVariantList& activityItems, const ViewController* presenter,
                       QObject* parent)
    : QObject(parent), items_(activityItems) {
    if (presenter && presenter->viewSize().width() >= kRegularWidth)
        popover_ = new PopoverPresentationController(this);
}

QList<QUrl> ShareSheet::files() const {
    QList<QUrl> found;
    for (const QVariant& item : items_) {
        if (item.typeId() == QMetaType::QUrl && item.toUrl().isLocalFile())
            found << item.toUrl();
    }
    return found;
}

QString ShareSheet::textWithLinks() const {
    QStringList parts;
    for (const QVariant& item : items_) {
        if (item.typeId() == QMetaType::QUrl) {
            if (!item.toUrl().isLocalFile())
                parts << item.toUrl().toString();
        } else {
            parts << item.toString();
        }
    }
    return parts.join(QLatin1Char('\n'));
}

QStringList ShareSheet::actions() const {
    if (!files().isEmpty())
        return {"copy", "saveAs", "openWith", "showInFolder", "email"};
    return {"copy", "email"};
}

QString ShareSheet::actionTitle(const QString& action) {
    if (action == "copy")
        return tr("Copy");
    if (action == "saveAs")
        return tr("Save As…");
    if (action == "openWith")
        return tr("Open With…");
    if (action == "showInFolder")
        return tr("Show in Folder");
    if (action == "email")
        return tr("Email");
    return action;
}

QString ShareSheet::summary() const {
    const QList<QUrl> shared = files();
    if (shared.size() == 1)
        return QFileInfo(shared.first().toLocalFile()).fileName();
    if (!shared.isEmpty())
        return tr("%n files", nullptr, int(shared.size()));
    return textWithLinks();
}

bool ShareSheet::fail(const QString& message) {
    lastError_ = message;
    Q_EMIT lastErrorChanged();
    return false;
}

bool ShareSheet::perform(const QString& action) {
    const QList<QUrl> shared = files();
    Desktop& desktop = Desktop::current();
    bool done = false;
    if (action == "copy") {
        auto data = std::make_unique<QMimeData>();
        if (!shared.isEmpty()) {
            data->setUrls(shared);
            QImage picture(shared.first().toLocalFile());
            if (!picture.isNull())
                data->setImageData(picture);
        } else {
            data->setText(textWithLinks());
        }
        QGuiApplication::clipboard()->setMimeData(data.release()); // the clipboard owns it
        done = true;
    } else if (action == "saveAs" && !shared.isEmpty()) {
        Q_EMIT saveAsRequested(shared.first());
        done = true;
    } else if (action == "openWith" && !shared.isEmpty()) {
        done = desktop.openUrl(shared.first()) ||
               fail(tr("No application could open %1.").arg(summary()));
    } else if (action == "showInFolder" && !shared.isEmpty()) {
        const QString folder = QFileInfo(shared.first().toLocalFile()).absolutePath();
        done = desktop.openUrl(QUrl::fromLocalFile(folder)) ||
               fail(tr("The folder %1 could not be shown.").arg(folder));
    } else if (action == "email") {
        if (!shared.isEmpty()) {
            QStringList arguments;
            for (const QUrl& file : shared)
                arguments << "--attach" << file.toLocalFile();
            done = desktop.startDetached("xdg-email", arguments) ||
                   fail(tr("No mail application could be started."));
        } else {
            QUrl mail("mailto:");
            QUrlQuery query;
            query.addQueryItem("body", textWithLinks());
            mail.setQuery(query);
            done = desktop.openUrl(mail) || fail(tr("No mail application could be opened."));
        }
    } else {
        return fail(tr("“%1” cannot share this.").arg(actionTitle(action)));
    }
    if (done)
        Q_EMIT finished();
    return done;
}

void ShareSheet::cancel() {
    Q_EMIT finished();
}

} // namespace flickbook::platform
