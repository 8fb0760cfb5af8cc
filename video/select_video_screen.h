#pragma once

// The video picker: every video of the library with its duration; a tap
// opens the trim screen on it. A video kept anywhere else can be opened
// with the desktop's file chooser.

#include "common/common_utils.h"
#include "platform/label.h"
#include "platform/photo_library.h"
#include "platform/view_controller.h"
#include "video/video_grid_model.h"

#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <optional>
#include <vector>

namespace flickbook::video {

class SelectVideoScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::video::VideoGridModel* collectionviewSelectVideo READ
                   collectionviewSelectVideo CONSTANT)
    Q_PROPERTY(flickbook::platform::Label* lblMsg READ lblMsg CONSTANT)
    Q_PROPERTY(QUrl videosFolder READ videosFolder CONSTANT)

public:
    explicit SelectVideoScreen(QObject* parent = nullptr);

    VideoGridModel* collectionviewSelectVideo() const { return grid_; }
    platform::Label* lblMsg() const { return lblMsg_; }
    QUrl videosFolder() const;

    void viewDidLoad() override;
    void prepareForSegue(const platform::StoryboardSegue& segue) override;

    // The alert shown when access was refused.
    void showAccessAlert();
    // Lists the videos (in the background) and fills the grid.
    void fetchVideos();

    Q_INVOKABLE int columnsForWidth(double gridWidth) const {
        return common::gridColumns(gridWidth);
    }
    Q_INVOKABLE double cellSide(double gridWidth) const { return common::gridCellSide(gridWidth); }
    Q_INVOKABLE void collectionViewDidSelectItem(int row);
    // A file the user chose with the desktop's file chooser.
    Q_INVOKABLE void openFile(const QUrl& file);
    Q_INVOKABLE void btnOpenFile();
    Q_INVOKABLE void btnBack();

    std::vector<platform::VideoAsset> videoList;
    std::optional<QUrl> selectedvideoAsset;

signals:
    // The page shows the desktop's file chooser for videos.
    void fileChooserRequested();

private:
    void showVideos(std::vector<platform::VideoAsset> videos);
    void choose(const platform::VideoAsset& video);

    VideoGridModel* grid_;
    platform::Label* lblMsg_;
};

} // namespace flickbook::video
