#pragma once

// The work list: every stored GIF, newest first, with its first frame and
// name; a tap opens the preview, each cell can share or delete its GIF.

#include "common/common_utils.h"
#include "library/history_grid_model.h"
#include "platform/label.h"
#include "platform/view_controller.h"

#include <QList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::library {

class HistoryScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::library::HistoryGridModel* collectionviewHistory READ
                   collectionviewHistory CONSTANT)
    Q_PROPERTY(flickbook::platform::Label* lblMsg READ lblMsg CONSTANT)

public:
    static constexpr double kDelayBeforeListing = 0.1;

    explicit HistoryScreen(QObject* parent = nullptr);

    HistoryGridModel* collectionviewHistory() const { return grid_; }
    platform::Label* lblMsg() const { return lblMsg_; }

    void viewDidLoad() override;
    void prepareForSegue(const platform::StoryboardSegue& segue) override;

    void loadStoredGIFs();
    void refreshGrid();

    // Side of a square cell in a grid of the given width: two columns,
    // (width − 36) × 0.5. Wide grids take more columns of the same gutters.
    Q_INVOKABLE int columnsForWidth(double gridWidth) const {
        return common::gridColumns(gridWidth);
    }
    Q_INVOKABLE double cellSide(double gridWidth) const { return common::gridCellSide(gridWidth); }

    Q_INVOKABLE void collectionViewDidSelectItem(int row);
    Q_INVOKABLE void share(int tag);
    Q_INVOKABLE void deleteMusic(int tag);
    Q_INVOKABLE void btnBack();

    QList<QUrl> arrOfFile;
    QUrl selectedUrl = QUrl::fromLocalFile(QString());

private:
    HistoryGridModel* grid_;
    platform::Label* lblMsg_;
};

} // namespace flickbook::library
