#pragma once

// What several screens share: the theme's colours and images, the standard
// user defaults, folders in Documents, the one-button alert and durations
// for display.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QUrl>

namespace flickbook::platform {
struct PhotoAsset;
class UserDefaults;
class ViewController;
} // namespace flickbook::platform

namespace flickbook::common {

QColor accentColor(); // 251/67/103
QColor black();
QColor white();

// Image resources by name: "img" (placeholder), "play", "pause", "select",
// "unselect", "point" and the application icon "flickbook".
QUrl imageNamed(const QString& name);
inline const QString kPlaceholderImage = QStringLiteral("img");
inline const QString kPlayImage = QStringLiteral("play");
inline const QString kPauseImage = QStringLiteral("pause");
inline const QString kSelectedImage = QStringLiteral("select");
inline const QString kUnselectedImage = QStringLiteral("unselect");

// "Product Sans Bold" at the given size when the system has it, else the
// bundled bold face.
QFont titleFont(double pointSize);
// Makes the bundled fonts known; once, before the first window.
void loadBundledFonts();

platform::UserDefaults& standardUserDefaults();

// Makes Documents/name unless something exists there already; a failure
// only writes one console line.
void createFolderInDocuments(const QString& name);

// An alert with the message, an optional title and one "OK" button.
void showAlert(const QString& title, const QString& message, platform::ViewController* presenter);

QString formatDuration(qint64 seconds);

// The photo fitted inside width × height, upright; the "img" placeholder
// when it cannot be read. Blocks while the file is decoded.
QImage thumbnailForAsset(const platform::PhotoAsset& asset, double width, double height);

} // namespace flickbook::common
