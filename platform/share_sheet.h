#pragma once

// The share sheet: hands text, links or files to the rest of the desktop.
// Texts and links can be copied or sent by mail; files can be copied (the
// file and, for images, its picture), saved elsewhere, opened with the
// user's application, shown in their folder or attached to a mail. On wide
// windows it is a popover anchored to a rectangle of the presenting screen,
// on narrow ones a sheet from the bottom.

#include "view_controller.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

// Where a popover points: a rectangle in the presenting screen's coordinates.
class PopoverPresentationController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by its share sheet")
    Q_PROPERTY(QRectF sourceRect READ sourceRect NOTIFY changed)
    Q_PROPERTY(flickbook::platform::ViewController* sourceView READ sourceView NOTIFY changed)

public:
    using QObject::QObject;
    QRectF sourceRect() const { return sourceRect_; }
    void setSourceRect(const QRectF& rect);
    ViewController* sourceView() const { return sourceView_; }
    void setSourceView(ViewController* view);

signals:
    void changed();

private:
    QRectF sourceRect_;
    QPointer<ViewController> sourceView_;
};

class ShareSheet : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the screen that presents it")
    Q_PROPERTY(QVariantList activityItems READ activityItems CONSTANT)
    Q_PROPERTY(QStringList actions READ actions CONSTANT)
    Q_PROPERTY(QString summary READ summary CONSTANT)
    Q_PROPERTY(flickbook::platform::PopoverPresentationController* popoverPresentationController
                   READ popoverPresentationController CONSTANT)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    // Windows at least this wide (points) show popovers instead of sheets.
    static constexpr double kRegularWidth = 600.0;

    // Items are QString texts and QUrl links or local files, in order. The
    // presenter's width decides between popover and sheet.
    ShareSheet(const QVariantList& activityItems, const ViewController* presenter,
               QObject* parent = nullptr);

    QVariantList activityItems() const { return items_; }
    // Action identifiers offered for these items, in display order:
    // "copy", "saveAs", "openWith", "showInFolder", "email".
    QStringList actions() const;
    Q_INVOKABLE static QString actionTitle(const QString& action);
    // One line describing what is shared, for the sheet's header.
    QString summary() const;
    // nullptr on narrow windows.
    PopoverPresentationController* popoverPresentationController() const { return popover_; }
    QString lastError() const { return lastError_; }

    // Carries out an action and closes the sheet when it worked. "saveAs"
    // hands the file to a Save As request (saveAsRequested) and closes.
    Q_INVOKABLE bool perform(const QString& action);
    Q_INVOKABLE void cancel();

signals:
    void finished();
    void lastErrorChanged();
    void saveAsRequested(const QUrl& file);

private:
    QList<QUrl> files() const;
    QString textWithLinks() const;
    bool fail(const QString& message);

    QVariantList items_;
    PopoverPresentationController* popover_ = nullptr;
    QString lastError_;
};

} // namespace flickbook::platform
