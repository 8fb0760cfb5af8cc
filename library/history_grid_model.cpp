#include "library/history_grid_model.h"

#include "library/first_frame_provider.h"

namespace flickbook::library {

void HistoryGridModel::reloadData(const QList<QUrl>& files) {
    beginResetModel();
    files_ = files;
    endResetModel();
}

int HistoryGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(files_.size());
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= files_.size())
        return {};
    const QUrl& file = files_[index.row()];
    switch (role) {
    case UrlRole:
        return file;
    case TitleRole:
        return file.fileName();
    case ImageRole:
        return FirstFrameProvider::sourceFor(file.toLocalFile());
    case TagRole:
        return index.row();
    default:
        return {};
    }
}

QHash<int, QByteArray> HistoryGridModel::roleNames() const {
    return {{UrlRole, "url"}, {TitleRole, "title"}, {ImageRole, "image"}, {TagRole, "tag"}};
}

} // namespace flickbook::library
