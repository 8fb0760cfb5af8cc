#include "view_pictures.h"

#include <array>
#include <optional>

namespace flickbook::platform {

namespace {

// An exact colour table of at most 256 colours, built while the pixels are
// written as indices; nothing once a 257th colour turns up.
class ColourTable {
public:
    // The index of a colour, added when new; -1 when the table is full.
    int indexOf(QRgb colour) {
        std::size_t slot = hash(colour);
        while (used_[slot]) {
            if (keys_[slot] == colour)
                return indices_[slot];
            slot = (slot + 1) % kSlots;
        }
        if (colours_.size() == 256)
            return -1;
        used_[slot] = true;
        keys_[slot] = colour;
        indices_[slot] = std::uint8_t(colours_.size());
        colours_ << colour;
        return indices_[slot];
    }
    const QList<QRgb>& colours() const { return colours_; }

private:
    static constexpr std::size_t kSlots = 1024; // four times the most colours: short probes
    static std::size_t hash(QRgb colour) { return (colour * 2654435761u) >> 22; }

    std::array<bool, kSlots> used_{};
    std::array<QRgb, kSlots> keys_{};
    std::array<std::uint8_t, kSlots> indices_{};
    QList<QRgb> colours_;
};

// The picture (straight ARGB32) as 8-bit indices, when it has at most 256 colours.
std::optional<QImage> indexed(const QImage& argb) {
    QImage out(argb.size(), QImage::Format_Indexed8);
    if (out.isNull())
        return std::nullopt;
    ColourTable table;
    QRgb last = 0;
    int lastIndex = -1;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* row = out.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            // Transparent pixels are one colour, whatever their RGB says.
            const QRgb colour = qAlpha(in[x]) == 0 ? 0u : in[x];
            if (lastIndex < 0 || colour != last) {
                lastIndex = table.indexOf(colour);
                if (lastIndex < 0)
                    return std::nullopt;
                last = colour;
            }
            row[x] = uchar(lastIndex);
        }
    }
    out.setColorTable(table.colours());
    return out;
}

bool isOpaque(const QImage& argb) {
    for (int y = 0; y < argb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(in[x]) != 255)
                return false;
    }
    return true;
}

} // namespace

QSize fittedSize(QSize picture, QSize box) {
    if (picture.isEmpty() || box.isEmpty() ||
        (picture.width() <= box.width() && picture.height() <= box.height()))
        return picture;
    const QSize scaled = picture.scaled(box, Qt::KeepAspectRatio);
    return scaled.expandedTo(QSize(1, 1));
}

QImage viewPicture(const QImage& picture, QSize box) {
    return viewPictureOfSize(picture, fittedSize(picture.size(), box));
}

QImage viewPictureOfSize(const QImage& picture, QSize target) {
    if (picture.isNull() || target.isEmpty())
        return QImage();
    const QImage fitted = target == picture.size() ? picture
                                                   : picture.scaled(target, Qt::IgnoreAspectRatio,
                                                                    Qt::SmoothTransformation);
    // Straight alpha, so that equal colours compare equal.
    const QImage argb = fitted.convertToFormat(QImage::Format_ARGB32);
    if (auto small = indexed(argb))
        return std::move(*small);
    if (isOpaque(argb))
        return argb.convertToFormat(QImage::Format_RGB888);
    return argb.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

quint64 heldBytes(const QImage& picture) {
    // The image's record and its allocation, roughly what QImageData takes.
    constexpr quint64 kRecord = 256;
    return quint64(picture.sizeInBytes()) + quint64(picture.colorCount()) * sizeof(QRgb) + kRecord;
}

} // namespace flickbook::platform
