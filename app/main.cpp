// Flickbook: GIFs from camera clips, videos and photos.

#include "app/app_delegate.h"
#include "app/app_window.h"

#include <QGuiApplication>
#include <QIcon>
#include <QQuickStyle>

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName("Flickbook");
    QGuiApplication::setOrganizationName("Flickbook");
    QGuiApplication::setApplicationVersion(FLICKBOOK_VERSION);
    QGuiApplication::setDesktopFileName("io.github.flickbook.Flickbook");
    QGuiApplication::setWindowIcon(QIcon(":/Flickbook/images/flickbook.svg"));
    QQuickStyle::setStyle("Material");

    flickbook::app::AppDelegate delegate;
    delegate.didFinishLaunching();

    flickbook::app::AppWindow window;
    if (!window.load())
        return 1;
    return QGuiApplication::exec();
}
