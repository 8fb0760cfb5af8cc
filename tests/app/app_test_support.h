#pragma once

// What the screen tests share: private XDG folders for each run, and a
// desktop that records the links and programs it is asked to open instead of
// opening them.

#include "platform/desktop.h"
#include "quick_items.h"

#include <QList>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

class QQuickItem;
class QQuickWindow;
class QVideoFrame;

namespace flickbook::app {
class AppWindow;
}

namespace flickbook::testing {

// The bytes in an estimate as the animation screens show it ("about 8.4 MB · …").
double estimatedBytes(const QString& text);

// Screen tests run offscreen unless QT_QPA_PLATFORM names another platform
// (xcb under Xvfb, for screenshots that must show video). Call before the
// application object exists.
void chooseTestPlatform();

// Points XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR into a fresh
// temporary folder; call before the application object exists.
class PrivateHome {
public:
    PrivateHome();
    QString dataHome() const { return root_.path() + "/data"; }
    QString configHome() const { return root_.path() + "/config"; }
    QString documents() const { return dataHome() + "/Flickbook/Documents"; }
    QString workFolder() const { return documents() + "/MyWork"; }
    // The XDG Pictures folder, named in the private user-dirs.dirs.
    QString pictures() const { return root_.path() + "/Pictures"; }
    // The XDG Videos folder, named there too.
    QString videos() const { return root_.path() + "/Videos"; }
    // Empties the data, config, pictures and videos folders and forgets the
    // loaded defaults.
    void wipe();

private:
    void writeUserDirs();
    QTemporaryDir root_;
};

// Collects console lines while it lives.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    QStringList lines() const;
};

class RecordingDesktop : public platform::Desktop {
public:
    RecordingDesktop() { platform::Desktop::setCurrent(this); }
    ~RecordingDesktop() override { platform::Desktop::setCurrent(nullptr); }

    bool openUrl(const QUrl& url) override {
        opened << url;
        return canOpen;
    }
    bool startDetached(const QString& program, const QStringList& arguments) override {
        started << (QStringList{program} + arguments);
        return canOpen;
    }

    bool canOpen = true;
    QList<QUrl> opened;
    QList<QStringList> started;
};

// Launches as main() does (launch sequence, window at the given size) and
// waits until the home screen has slid in; nullptr when it does not come.
std::unique_ptr<app::AppWindow> launchToHome(QSize size);

// A left click in the middle of the item; false when the item is missing.
bool clickItem(QQuickWindow* window, QQuickItem* item);
// Copies a file and makes the copy the user's own to change (test data may
// be read-only, and copies keep that); false when either step fails.
bool copyWritable(const QString& from, const QString& to);

// Saves what the window shows as <name>.png in the screenshot folder.
bool saveScreenshot(QQuickWindow* window, const QString& name);

// The number a frame of a counter clip shows; −1 for an empty frame.
int counterShown(const QVideoFrame& frame);

} // namespace flickbook::testing
