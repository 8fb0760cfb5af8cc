// Flickbook: GIFs from camera clips, videos and photos.

#include "app/app_delegate.h"
#include "app/app_window.h"
#include "core/heap_reuse.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QQuickStyle>

int main(int argc, char* argv[]) {
    flickbook::reuseFreedPictureMemory();
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName("Flickbook");
    QGuiApplication::setOrganizationName("Flickbook");
    QGuiApplication::setApplicationVersion(FLICKBOOK_VERSION);
    QGuiApplication::setDesktopFileName("io.github.flickbook.Flickbook");
    QGuiApplication::setWindowIcon(QIcon(":/Flickbook/images/flickbook.svg"));
    QQuickStyle::setStyle("Material");

    QCommandLineParser options;
    options.setApplicationDescription(QGuiApplication::translate(
        "main", "Makes looping GIFs of camera clips, videos and photos."));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(
        "files", QGuiApplication::translate("main", "A video to trim, or photos to animate."),
        "[FILE…]");
    options.process(application);

    flickbook::app::AppDelegate delegate;
    delegate.didFinishLaunching();

    flickbook::app::AppWindow window;
    if (!window.load())
        return 1;
    const QList<QUrl> files = flickbook::app::FileOpener::filesFromArguments(
        options.positionalArguments(), QDir::currentPath());
    if (!files.isEmpty())
        window.opener().openWhenHomeIsShown(files);
    return QGuiApplication::exec();
}
