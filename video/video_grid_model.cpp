#include "video/video_grid_model.h"

#include "common/common_utils.h"
#include "platform/dispatch.h"
#include "video/video_thumbnail_provider.h"

#include <QPointer>
#include <cmath>

namespace flickbook::video {

VideoGridModel::VideoGridModel(QObject* parent) : QAbstractListModel(parent) {}

VideoGridModel::~VideoGridModel() {
    ++*generation_;
}

void VideoGridModel::reloadData(const std::vector<platform::VideoAsset>& videos) {
    beginResetModel();
    videos_ = videos;
    durations_.clear();
    endResetModel();
    readDurations();
}

void VideoGridModel::readDurations() {
    const int generation = ++*generation_;
    auto current = generation_;
    QPointer<VideoGridModel> self(this);
    const auto videos = videos_;
    platform::dispatch::background([self, current, generation, videos] {
        for (std::size_t row = 0; row < videos.size(); ++row) {
            if (current->load() != generation)
                return;
            const auto details = platform::PhotoLibrary::requestVideoDetails(videos[row]);
            if (!details)
                continue; // an unreadable video shows no duration
            const double seconds = details->durationSeconds;
            const QString path = videos[row].path;
            platform::dispatch::main([self, current, generation, row, path, seconds] {
                if (!self || current->load() != generation)
                    return;
                self->durations_.insert(path, seconds);
                const QModelIndex changed = self->index(int(row));
                Q_EMIT self->dataChanged(changed, changed, {TimeRole});
            });
        }
    });
}

int VideoGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(videos_.size());
}

std::optional<double> VideoGridModel::duration(int row) const {
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    const auto found = durations_.constFind(videos_[std::size_t(row)].path);
    if (found == durations_.constEnd())
        return std::nullopt;
    return *found;
}

QVariant VideoGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const platform::VideoAsset& video = videos_[std::size_t(index.row())];
    switch (role) {
    case ImageRole:
        return VideoThumbnailProvider::sourceFor(video.path);
    case TimeRole: {
        const auto seconds = duration(index.row());
        return seconds ? common::formatDuration(qint64(std::trunc(*seconds))) : QString();
    }
    case TagRole:
        return index.row();
    default:
        return {};
    }
}

QHash<int, QByteArray> VideoGridModel::roleNames() const {
    return {{ImageRole, "image"}, {TimeRole, "time"}, {TagRole, "tag"}};
}

} // namespace flickbook::video
