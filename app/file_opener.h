#pragma once

// Videos and photos handed to Flickbook from outside its screens: dropped on
// the window, or named on the command line (which is how a file manager's
// "Open With" reaches it). A video opens the trim screen as if it had been
// picked from the library; photos open the frame-time screen in the order
// given. What cannot be read gets the picker's alert.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {
class NavigationController;
class Storyboard;
} // namespace flickbook::platform

namespace flickbook::app {

class FileOpener : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the window")

public:
    FileOpener(platform::NavigationController& navigation, const platform::Storyboard& storyboard,
               QObject* parent = nullptr);

    // The files named on a command line, relative ones taken from the
    // working folder.
    static QList<QUrl> filesFromArguments(const QStringList& arguments,
                                          const QString& workingFolder);

    // Looks at the files off the GUI thread, then opens what they are.
    Q_INVOKABLE void openFiles(const QList<QUrl>& files);
    // The same, once the home screen has been reached (the launch screen
    // hands over to it first).
    void openWhenHomeIsShown(const QList<QUrl>& files);

signals:
    // The files were looked at and a screen opened or an alert shown.
    void handled();

private:
    struct Sorted {
        QList<QString> videos;
        QList<QString> pictures;
        QList<QString> unreadable;
    };
    static Sorted sort(const QList<QUrl>& files);
    void open(const Sorted& sorted);
    void openVideo(const QString& path);
    void openPictures(const QList<QString>& paths);
    void refuse();

    platform::NavigationController& navigation_;
    const platform::Storyboard& storyboard_;
    QList<QUrl> waiting_;
};

} // namespace flickbook::app
