#pragma once

// An image that may move: a list of entries, each shown for an equal share of
// the duration, over and over. A still image is a list of one with no
// duration. Entries are kept as runs of one picture, so a file whose timing
// repeats a frame millions of times holds that frame once.

#include <QImage>
#include <QList>
#include <QtGlobal>

namespace flickbook::platform {

struct AnimatedImage {
    // Each picture once. With no runs appended, every picture is one entry,
    // in order (a photo animation).
    QList<QImage> images;
    double duration = 0.0; // seconds for the whole list

    // Appends `count` entries that show picture `picture`.
    void appendRun(qsizetype picture, quint64 count);

    bool isEmpty() const { return images.isEmpty(); }
    quint64 entryCount() const;
    // The picture an entry shows; entry < entryCount().
    qsizetype pictureAt(quint64 entry) const;
    // How long each entry shows; 0 for a still image.
    double entrySeconds() const { return entryCount() > 1 ? duration / double(entryCount()) : 0.0; }

private:
    QList<qsizetype> runPictures_;
    QList<quint64> runEnds_; // entries before the end of each run
};

} // namespace flickbook::platform
