#pragma once

// The rows of the photo picker: one photo each, its thumbnail, whether it is
// chosen (the "select" or "unselect" mark) and its place in the order of the
// chosen photos, which is the GIF's order.

#include "platform/photo_library.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <vector>

namespace flickbook::photos {

class PhotoGridModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The grid of its screen")

public:
    enum Role { ImageRole = Qt::UserRole + 1, SelectMarkRole, TagRole, OrderRole };

    // 1 for the photo chosen first, 2 for the next …, 0 when not chosen.
    using OrderOf = std::function<int(const platform::PhotoAsset&)>;
    PhotoGridModel(OrderOf orderOf, QObject* parent = nullptr);

    void reloadData(const std::vector<platform::PhotoAsset>& photos);
    void reloadItem(int row);
    // Every row's mark and number again (a choice taken away renumbers the rest).
    void reloadChoices();
    // The screen that answers the order is going away: every photo reads as
    // not chosen from now on (the page may still ask as it lets go).
    void forgetOrder() { orderOf_ = nullptr; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    OrderOf orderOf_;
    std::vector<platform::PhotoAsset> photos_;
};

} // namespace flickbook::photos
