#pragma once

// One stored GIF, playing; share it, save it to the pictures folder, or
// leave. Opened right after a render its Back is gone, so Home is the way out.

#include "platform/animated_image_view.h"
#include "platform/view_controller.h"

#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::library {

class GIFPreviewScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::platform::AnimatedImageView* ivPlayGIF READ ivPlayGIF CONSTANT)
    Q_PROPERTY(QString fileName READ fileName CONSTANT)
    // Why the GIF does not play, when it does not.
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)

public:
    explicit GIFPreviewScreen(QObject* parent = nullptr);

    platform::AnimatedImageView* ivPlayGIF() const { return ivPlayGIF_; }
    QString fileName() const { return gifURL.fileName(); }
    QString problem() const { return problem_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void loadGIF();

    Q_INVOKABLE void btnShare();
    Q_INVOKABLE void btnSave();
    Q_INVOKABLE void btnBack();
    Q_INVOKABLE void btnHome();

    QUrl gifURL = QUrl::fromLocalFile(QString());

signals:
    void problemChanged();

private:
    platform::AnimatedImageView* ivPlayGIF_;
    QString problem_;
};

} // namespace flickbook::library
