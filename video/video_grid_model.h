#pragma once

// The rows of the video picker: one video each, its thumbnail and its
// duration once it has been read. Durations are read off the GUI thread in
// the order of the grid, so the first screenful gets them first.

#include "platform/photo_library.h"

#include <QAbstractListModel>
#include <QHash>
#include <QtQml/qqmlregistration.h>
#include <atomic>
#include <memory>
#include <vector>

namespace flickbook::video {

class VideoGridModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The grid of its screen")

public:
    enum Role { ImageRole = Qt::UserRole + 1, TimeRole, TagRole };

    explicit VideoGridModel(QObject* parent = nullptr);
    ~VideoGridModel() override;

    void reloadData(const std::vector<platform::VideoAsset>& videos);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Seconds, when read.
    std::optional<double> duration(int row) const;

private:
    void readDurations();

    std::vector<platform::VideoAsset> videos_;
    QHash<QString, double> durations_;
    // Raised with every reload; a reading for an older list stops.
    std::shared_ptr<std::atomic<int>> generation_ = std::make_shared<std::atomic<int>>(0);
};

} // namespace flickbook::video
