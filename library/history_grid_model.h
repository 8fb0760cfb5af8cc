#pragma once

// The rows of the history grid: one stored GIF each, with what its cell
// shows (first frame, file name) and the tag its buttons carry (its row).

#include <QAbstractListModel>
#include <QList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::library {

class HistoryGridModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The grid of its screen")

public:
    enum Role { UrlRole = Qt::UserRole + 1, TitleRole, ImageRole, TagRole };

    using QAbstractListModel::QAbstractListModel;

    // Shows these files, row for row; every tag is renumbered.
    void reloadData(const QList<QUrl>& files);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<QUrl> files_;
};

} // namespace flickbook::library
