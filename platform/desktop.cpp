#include "desktop.h"

#include <QDebug>
#include <QDesktopServices>
#include <QProcess>

namespace flickbook::platform {

namespace {
Desktop*& installed() {
    static Desktop* desktop = nullptr;
    return desktop;
}
} // namespace

bool Desktop::openUrl(const QUrl& url) {
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool Desktop::startDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

Desktop& Desktop::current() {
    static Desktop real;
    return installed() ? *installed() : real;
}

void Desktop::setCurrent(Desktop* desktop) {
    installed() = desktop;
}

void consoleLine(const QString& line) {
    qInfo().noquote() << line;
}

} // namespace flickbook::platform
