#pragma once

// One stored GIF, playing; share it, save it to the pictures folder, or
// leave. Opened right after a render its Back is gone, so Home is the way out.
// The GIF is decoded on the background queue, at the size the page draws it,
// while the page shows that it is loading.

#include "core/result.h"
#include "platform/animated_image_view.h"
#include "platform/view_controller.h"

#include <QSize>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <atomic>
#include <memory>

namespace flickbook::library {

class GIFPreviewScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::platform::AnimatedImageView* ivPlayGIF READ ivPlayGIF CONSTANT)
    Q_PROPERTY(QString fileName READ fileName CONSTANT)
    // Why the GIF does not play, when it does not.
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)
    // The GIF is being decoded.
    Q_PROPERTY(bool loading READ isLoading NOTIFY loadingChanged)

public:
    explicit GIFPreviewScreen(QObject* parent = nullptr);
    ~GIFPreviewScreen() override;

    platform::AnimatedImageView* ivPlayGIF() const { return ivPlayGIF_; }
    QString fileName() const { return gifURL.fileName(); }
    QString problem() const { return problem_; }
    bool isLoading() const { return loading_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Starts decoding gifURL for the view's size: at once when the view
    // knows its size or the screen has no page, else once the page is laid
    // out. The result replaces what plays, or sets problem.
    void loadGIF();

    Q_INVOKABLE void btnShare();
    Q_INVOKABLE void btnSave();
    Q_INVOKABLE void btnBack();
    Q_INVOKABLE void btnHome();

    QUrl gifURL = QUrl::fromLocalFile(QString());
    // How this preview was opened, as it loaded: a flow started on top of
    // it (a file dropped on the window) may make a GIF and change how the
    // next one is opened, not this one.
    bool openedFromHistory() const { return openedFromHistory_; }

signals:
    void problemChanged();
    void loadingChanged();

private:
    void decode(QSize box);
    void decoded(Result<platform::AnimatedImage> result);
    void viewResized();
    void cancelDecoding();
    void setLoading(bool loading);

    platform::AnimatedImageView* ivPlayGIF_;
    QString problem_;
    bool loading_ = false;
    bool openedFromHistory_ = false;
    bool waitingForSize_ = false;
    QSize decodedBox_; // the box the pictures playing (or being made) fit
    // Set when the decode running is no longer wanted.
    std::shared_ptr<std::atomic<bool>> cancelled_;
    // A window being resized reports many sizes: the GIF is decoded again
    // for the last one, once it holds still.
    QTimer resized_;
};

} // namespace flickbook::library
