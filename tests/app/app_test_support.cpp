#include "app_test_support.h"

#include "app/app_delegate.h"
#include "app/app_window.h"
#include "home/home_screen.h"
#include "media_fixtures.h"
#include "platform/user_defaults.h"

#include <QDir>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QVideoFrame>

namespace flickbook::testing {

double estimatedBytes(const QString& text) {
    const QStringList words = text.split(' ');
    if (words.size() < 3)
        return 0;
    const double scale = words[2] == "MB" ? 1e6 : words[2] == "KB" ? 1e3 : 1;
    return words[1].toDouble() * scale;
}

void chooseTestPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

PrivateHome::PrivateHome() {
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    const QString runtime = root_.path() + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    writeUserDirs();
}

void PrivateHome::writeUserDirs() {
    QDir().mkpath(configHome());
    QFile dirs(configHome() + "/user-dirs.dirs");
    if (dirs.open(QIODevice::WriteOnly))
        dirs.write("XDG_PICTURES_DIR=\"" + pictures().toLocal8Bit() + "\"\nXDG_VIDEOS_DIR=\"" +
                   videos().toLocal8Bit() + "\"\n");
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
    QDir(pictures()).removeRecursively();
    QDir(videos()).removeRecursively();
    writeUserDirs();
}

bool clickItem(QQuickWindow* window, QQuickItem* item) {
    if (!item)
        return false;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, {}, centre.toPoint());
    return true;
}

std::unique_ptr<app::AppWindow> launchToHome(QSize size) {
    app::AppDelegate().didFinishLaunching();
    auto window = std::make_unique<app::AppWindow>();
    if (!window->load())
        return nullptr;
    window->window()->resize(size);
    if (!QTest::qWaitForWindowExposed(window->window()))
        return nullptr;
    // Keys and shortcuts go to the active window, as on a desktop.
    window->window()->requestActivate();
    if (!QTest::qWaitForWindowActive(window->window()))
        return nullptr;
    auto atHome = [&] {
        return qobject_cast<home::HomeScreen*>(window->navigation().topViewController()) != nullptr;
    };
    if (!QTest::qWaitFor(atHome, 3000))
        return nullptr;
    if (!waitForPagesToSettle(window->window()))
        return nullptr;
    return window;
}

bool copyWritable(const QString& from, const QString& to) {
    return QFile::copy(from, to) &&
           QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

bool saveScreenshot(QQuickWindow* window, const QString& name) {
    const QString folder = QStringLiteral(FLICKBOOK_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QImage shot = window->grabWindow();
    return !shot.isNull() && shot.save(folder + "/" + name + ".png");
}

int counterShown(const QVideoFrame& frame) {
    const QImage picture = frame.toImage().convertToFormat(QImage::Format_RGBA8888);
    if (picture.isNull())
        return -1;
    image::RgbaImage rgba{std::uint32_t(picture.width()), std::uint32_t(picture.height()), {}};
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* line = picture.constScanLine(y);
        rgba.pixels.insert(rgba.pixels.end(), line, line + std::size_t(picture.width()) * 4);
    }
    return testsupport::readCounter(rgba);
}

} // namespace flickbook::testing
