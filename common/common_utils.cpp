#include "common/common_utils.h"

#include "camel_labels.h"
#include "core/duration_format.h"
#include "discrete_slider.h"
#include "platform/alert_controller.h"
#include "platform/desktop.h"
#include "platform/photo_library.h"
#include "platform/share_sheet.h"
#include "platform/user_defaults.h"
#include "platform/view_controller.h"
#include "store/gif_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <sstream>

namespace flickbook::common {

QColor accentColor() {
    return QColor(251, 67, 103);
}

QColor black() {
    return QColor(Qt::black);
}

QColor white() {
    return QColor(Qt::white);
}

QUrl imageNamed(const QString& name) {
    return QUrl(QStringLiteral("qrc:/Flickbook/images/%1.svg").arg(name));
}

void loadBundledFonts() {
    static const bool loaded = [] {
        return QFontDatabase::addApplicationFont(":/Flickbook/fonts/Manrope-Bold.ttf") >= 0;
    }();
    Q_UNUSED(loaded);
}

QFont titleFont(double pointSize) {
    loadBundledFonts();
    const bool haveProductSans = QFontDatabase::families().contains(QStringLiteral("Product Sans"));
    QFont font(haveProductSans ? QStringLiteral("Product Sans") : QStringLiteral("Manrope"));
    font.setWeight(QFont::Bold);
    // A phone's point is one device-independent pixel here.
    font.setPixelSize(int(pointSize));
    return font;
}

platform::UserDefaults& standardUserDefaults() {
    return platform::UserDefaults::standard();
}

void createFolderInDocuments(const QString& name) {
    std::ostringstream console;
    store::GifStore::standard().createFolderInDocuments(name.toStdString(), console);
    const std::string line = console.str();
    if (!line.empty())
        platform::consoleLine(QString::fromStdString(line).trimmed());
}

void showAlert(const QString& title, const QString& message, platform::ViewController* presenter) {
    if (!presenter)
        return;
    auto* alert = new platform::AlertController(title, message, presenter);
    alert->setTintColor(black());
    alert->addAction(QCoreApplication::translate("flickbook::platform::AlertController", "OK"));
    presenter->present(alert);
}

void presentShareSheet(platform::ViewController* presenter, const QVariantList& items) {
    if (!presenter)
        return;
    auto* sheet = new platform::ShareSheet(items, presenter, presenter);
    if (auto* popover = sheet->popoverPresentationController()) {
        popover->setSourceView(presenter);
        popover->setSourceRect(QRectF(0, 0, presenter->viewSize().width(), 300.0));
    }
    presenter->present(sheet);
}

QString formatDuration(qint64 seconds) {
    return QString::fromStdString(flickbook::formatDuration(seconds));
}

void setUpDiscreteSlider(components::DiscreteSlider& slider, int tickCount, double value) {
    const QColor systemGray(142, 142, 147);
    slider.minimumTrackTintColor = accentColor();
    slider.minimumTickTintColor = accentColor();
    slider.maximumTrackTintColor = systemGray;
    slider.maximumTickTintColor = systemGray;
    slider.thumbTintColor = accentColor();
    slider.thumbImage = imageNamed(QStringLiteral("point"));
    slider.setMinimumValue(1);
    slider.setTickCount(tickCount);
    slider.setValue(value);
    slider.apply();
}

void setUpCamelLabels(components::CamelLabels& labels, const QStringList& names, int emphasised) {
    labels.names = names;
    labels.value = emphasised;
    labels.ticksDistance = names.isEmpty() ? 0.0 : labels.width / double(names.size());
    labels.upFontSize = 13.0;
    labels.downFontSize = 10.0;
    labels.apply();
}

QString noticeWithCause(const QString& notice, const QString& systemMessage, const QString& place) {
    QString cause;
    if (systemMessage.contains(QLatin1String("Read-only file system")) ||
        systemMessage.contains(QLatin1String("Permission denied")))
        cause = QObject::tr("%1 is read-only.").arg(place);
    else if (systemMessage.contains(QLatin1String("No space left")) ||
             systemMessage.contains(QLatin1String("File too large")) ||
             systemMessage.contains(QLatin1String("Disk quota")))
        cause = QObject::tr("The disk is full.");
    else if (systemMessage.contains(QLatin1String("No such file or directory")))
        cause = QObject::tr("%1 is missing.").arg(place);
    else
        cause = systemMessage;
    return cause.isEmpty() ? notice : notice + QLatin1Char('\n') + cause;
}

void removeTemporaryFile(const QUrl& file) {
    if (!file.isLocalFile() || file.toLocalFile().isEmpty())
        return;
    const QFileInfo info(file.toLocalFile());
    const QString folder = QDir::cleanPath(
        QString::fromStdString(store::GifStore::standard().temporaryFolder().string()));
    if (QDir::cleanPath(info.absolutePath()) == folder)
        QFile::remove(info.absoluteFilePath());
}

int gridColumns(double gridWidth) {
    if (gridWidth < 600.0)
        return 2;
    return std::max(3, int(std::floor((gridWidth - 12.0) / 192.0)));
}

double gridCellSide(double gridWidth) {
    const int columns = gridColumns(gridWidth);
    if (columns == 2)
        return (gridWidth - 36.0) * 0.5;
    constexpr double gutter = 12.0;
    return (gridWidth - gutter * (columns + 1)) / columns;
}

} // namespace flickbook::common

namespace flickbook::common {

namespace {
QImage orPlaceholder(QImage picture, QSize target) {
    if (!picture.isNull())
        return picture;
    QImageReader placeholder(QStringLiteral(":/Flickbook/images/%1.svg").arg(kPlaceholderImage));
    placeholder.setScaledSize(target);
    return placeholder.read();
}
} // namespace

QImage thumbnailForAsset(const platform::PhotoAsset& asset, double width, double height) {
    const QSize target(int(std::ceil(width)), int(std::ceil(height)));
    return orPlaceholder(platform::PhotoLibrary::requestImage(asset, target), target);
}

QImage thumbnailForAsset(const platform::VideoAsset& asset, double width, double height) {
    const QSize target(int(std::ceil(width)), int(std::ceil(height)));
    return orPlaceholder(platform::PhotoLibrary::requestVideoImage(asset, target), target);
}

} // namespace flickbook::common
