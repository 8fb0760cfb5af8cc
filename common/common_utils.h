#pragma once

// What several screens share: the theme's colours and images, the standard
// user defaults, folders in Documents, the one-button alert and durations
// for display.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QUrl>
#include <QVariantList>

namespace flickbook::components {
class CamelLabels;
class DiscreteSlider;
} // namespace flickbook::components

namespace flickbook::platform {
struct PhotoAsset;
struct VideoAsset;
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

// The share sheet for these items over the presenter; on wide windows a
// popover anchored to the presenter's top 300 points across its width.
void presentShareSheet(platform::ViewController* presenter, const QVariantList& items);

// The look of the app's discrete sliders: ticks and track up to the thumb
// and the thumb in the accent, gray beyond, the "point" thumb; stops 1 …
// tickCount, standing at value.
void setUpDiscreteSlider(components::DiscreteSlider& slider, int tickCount, double value);
// Their step labels: one per stop, the emphasised one at 13 points and the
// others at 10, spaced the row's width divided by the number of labels.
void setUpCamelLabels(components::CamelLabels& labels, const QStringList& names, int emphasised);

// A notice that says what went wrong: the fixed text, then on a line of its
// own the cause in plain words ("The work folder is read-only.", "The disk
// is full.") from a system's message about the place named.
QString noticeWithCause(const QString& notice, const QString& systemMessage, const QString& place);

// Removes a file made in Flickbook's private temporary folder (a cut or a
// recording) once nothing needs it; files anywhere else are never touched.
void removeTemporaryFile(const QUrl& file);

// The rule every grid follows: square cells, two columns of (width − 36) ×
// 0.5 on phones; from 600 points as many columns of at least 180 as fit,
// with the same 12-point gutters around and between them.
int gridColumns(double gridWidth);
double gridCellSide(double gridWidth);

// The photo fitted inside width × height, upright; the "img" placeholder
// when it cannot be read. Blocks while the file is decoded.
QImage thumbnailForAsset(const platform::PhotoAsset& asset, double width, double height);
// A frame of the video near its start, the same way.
QImage thumbnailForAsset(const platform::VideoAsset& asset, double width, double height);

} // namespace flickbook::common
