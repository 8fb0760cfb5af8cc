#include "animated_image.h"

#include <algorithm>

namespace flickbook::platform {

void AnimatedImage::appendRun(qsizetype picture, quint64 count) {
    if (count == 0)
        return;
    runPictures_ << picture;
    runEnds_ << (runEnds_.isEmpty() ? 0 : runEnds_.last()) + count;
}

quint64 AnimatedImage::entryCount() const {
    return runEnds_.isEmpty() ? quint64(images.size()) : runEnds_.last();
}

qsizetype AnimatedImage::pictureAt(quint64 entry) const {
    if (runEnds_.isEmpty())
        return qsizetype(entry);
    const auto run = std::upper_bound(runEnds_.cbegin(), runEnds_.cend(), entry);
    return run == runEnds_.cend() ? runPictures_.last() : runPictures_[run - runEnds_.cbegin()];
}

} // namespace flickbook::platform
