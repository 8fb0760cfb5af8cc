#include "app_test_support.h"

#include "platform/user_defaults.h"

#include <QDir>

namespace flickbook::testing {

PrivateHome::PrivateHome() {
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    const QString runtime = root_.path() + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
}

namespace {
QStringList captured;
QtMessageHandler previous = nullptr;
void capture(QtMsgType, const QMessageLogContext&, const QString& line) {
    captured << line;
}
} // namespace

ConsoleCapture::ConsoleCapture() {
    captured.clear();
    previous = qInstallMessageHandler(capture);
}

ConsoleCapture::~ConsoleCapture() {
    qInstallMessageHandler(previous);
}

QStringList ConsoleCapture::lines() const {
    return captured;
}

void PrivateHome::wipe() {
    platform::UserDefaults::reset();
    QDir(dataHome()).removeRecursively();
    QDir(configHome()).removeRecursively();
}

} // namespace flickbook::testing
