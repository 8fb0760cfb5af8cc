#pragma once

// The rows of the photo picker: one photo each, its thumbnail and whether it
// is chosen (the "select" or "unselect" mark).

#include "platform/photo_library.h"

#include <QAbstractListModel>
#include <functional>
#include <vector>

namespace flickbook::photos {

class PhotoGridModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { ImageRole = Qt::UserRole + 1, SelectMarkRole, TagRole };

    using IsChosen = std::function<bool(const platform::PhotoAsset&)>;
    PhotoGridModel(IsChosen isChosen, QObject* parent = nullptr);

    void reloadData(const std::vector<platform::PhotoAsset>& photos);
    void reloadItem(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    IsChosen isChosen_;
    std::vector<platform::PhotoAsset> photos_;
};

} // namespace flickbook::photos
