#pragma once

// The photo picker: every photo, newest first; the user taps photos in the
// order they should play, then Done loads them at full size for the
// frame-time screen.

#include "common/common_utils.h"
#include "photos/photo_grid_model.h"
#include "platform/label.h"
#include "platform/photo_library.h"
#include "platform/view_controller.h"

#include <QImage>
#include <QList>
#include <QtQml/qqmlregistration.h>
#include <vector>

namespace flickbook::photos {

class SelectImages : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::photos::PhotoGridModel* collectionviewSelectImages READ
                   collectionviewSelectImages CONSTANT)
    Q_PROPERTY(flickbook::platform::Label* lblMsg READ lblMsg CONSTANT)
    Q_PROPERTY(int selectedCount READ selectedCount NOTIFY selectionChanged)

public:
    explicit SelectImages(QObject* parent = nullptr);
    ~SelectImages() override;

    PhotoGridModel* collectionviewSelectImages() const { return grid_; }
    platform::Label* lblMsg() const { return lblMsg_; }
    int selectedCount() const { return int(arrOfSelectedAsset.size()); }

    void viewDidLoad() override;
    void prepareForSegue(const platform::StoryboardSegue& segue) override;

    // The alert shown when access was refused.
    void showAccessAlert();
    // Lists the photos (in the background) and fills the grid.
    void fetchPhotos();

    Q_INVOKABLE int columnsForWidth(double gridWidth) const {
        return common::gridColumns(gridWidth);
    }
    Q_INVOKABLE double cellSide(double gridWidth) const { return common::gridCellSide(gridWidth); }
    Q_INVOKABLE void collectionViewDidSelectItem(int row);
    Q_INVOKABLE void btnDone();
    Q_INVOKABLE void btnBack();

    std::vector<platform::PhotoAsset> arrOfImage;
    std::vector<platform::PhotoAsset> arrOfSelectedAsset;
    QList<QImage> arrOfSelectedImages;

signals:
    void selectionChanged();

private:
    void showPhotos(std::vector<platform::PhotoAsset> photos);
    void loadFailed(const QString& photo);

    PhotoGridModel* grid_;
    platform::Label* lblMsg_;
};

} // namespace flickbook::photos
