#pragma once

// "Save As…" for a shared file: the desktop's own file chooser when the
// desktop offers one (the XDG desktop portal), else Flickbook's dialog in
// the window, which starts in the folder used last (the Pictures folder at
// first). The copy is written whole beside its place and renamed into it;
// a file already there is replaced only when the user said so.

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class SaveAs : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by a share sheet")
    Q_PROPERTY(QString suggestedName READ suggestedName CONSTANT)
    Q_PROPERTY(QUrl folder READ folder WRITE setFolder NOTIFY folderChanged)
    Q_PROPERTY(QString folderPath READ folderPath NOTIFY folderChanged)
    // Why the last try did not save; empty when there is nothing to say.
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    // The name that is taken and waits for the user to say Replace.
    Q_PROPERTY(QString nameToReplace READ nameToReplace NOTIFY errorChanged)

public:
    explicit SaveAs(const QUrl& file, QObject* parent = nullptr);

    QUrl file() const { return file_; }
    QString suggestedName() const;
    QUrl folder() const { return QUrl::fromLocalFile(folder_); }
    void setFolder(const QUrl& folder);
    QString folderPath() const { return folder_; }
    QString error() const { return error_; }
    QString nameToReplace() const { return nameToReplace_; }

    // Asks the desktop's file chooser, when there is one; false otherwise
    // (the window then shows Flickbook's dialog).
    bool askDesktop();

    // Saves under this name in the folder. A name that is taken is not
    // saved but asked about; saving under it again replaces the file.
    Q_INVOKABLE bool save(const QString& name);
    // The file name a typed name stands for (with the file's extension when
    // it has none).
    Q_INVOKABLE QString fileNameFor(const QString& typed) const;
    Q_INVOKABLE void cancel();

    // Where saving starts next time (the folder saved into last).
    static QString lastFolder();

signals:
    void folderChanged();
    void errorChanged();
    // Done: the path saved to, or empty when cancelled.
    void finished(const QString& savedPath);

private slots:
    // The desktop's chooser answered.
    void portalResponse(uint response, const QVariantMap& results);

private:
    bool write(const QString& target, bool replacing);
    bool fail(const QString& message, const QString& taken = {});

    QUrl file_;
    QString folder_;
    QString error_;
    QString nameToReplace_;
    bool done_ = false;
};

} // namespace flickbook::platform
