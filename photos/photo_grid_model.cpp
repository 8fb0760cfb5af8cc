#include "photos/photo_grid_model.h"

#include "common/common_utils.h"
#include "photos/photo_thumbnail_provider.h"

namespace flickbook::photos {

PhotoGridModel::PhotoGridModel(OrderOf orderOf, QObject* parent)
    : QAbstractListModel(parent), orderOf_(std::move(orderOf)) {}

void PhotoGridModel::reloadData(const std::vector<platform::PhotoAsset>& photos) {
    beginResetModel();
    photos_ = photos;
    endResetModel();
}

void PhotoGridModel::reloadItem(int row) {
    if (row >= 0 && row < rowCount())
        Q_EMIT dataChanged(index(row), index(row), {SelectMarkRole, OrderRole});
}

void PhotoGridModel::reloadChoices() {
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0), index(rowCount() - 1), {SelectMarkRole, OrderRole});
}

int PhotoGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(photos_.size());
}

QVariant PhotoGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const platform::PhotoAsset& photo = photos_[std::size_t(index.row())];
    const int order =
        (role == SelectMarkRole || role == OrderRole) && orderOf_ ? orderOf_(photo) : 0;
    switch (role) {
    case ImageRole:
        return PhotoThumbnailProvider::sourceFor(photo.path);
    case SelectMarkRole:
        return common::imageNamed(order > 0 ? common::kSelectedImage : common::kUnselectedImage);
    case OrderRole:
        return order;
    case TagRole:
        return index.row();
    default:
        return {};
    }
}

QHash<int, QByteArray> PhotoGridModel::roleNames() const {
    return {{ImageRole, "image"},
            {SelectMarkRole, "selectMark"},
            {TagRole, "tag"},
            {OrderRole, "order"}};
}

} // namespace flickbook::photos
