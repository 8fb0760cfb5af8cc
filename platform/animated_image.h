#pragma once

// An image that may move: a list of pictures, each shown for an equal share
// of the duration, over and over. A still image is a list of one with no
// duration. Repeated entries share their pixels.

#include <QImage>
#include <QList>

namespace flickbook::platform {

struct AnimatedImage {
    QList<QImage> images;
    double duration = 0.0; // seconds for the whole list

    bool isEmpty() const { return images.isEmpty(); }
    // How long each entry shows; 0 for a still image.
    double entrySeconds() const {
        return images.size() > 1 ? duration / double(images.size()) : 0.0;
    }
};

} // namespace flickbook::platform
