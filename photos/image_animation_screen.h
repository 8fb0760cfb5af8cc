#pragma once

// The frame-time screen of the photo flow: the chosen photos loop as a live
// preview at the chosen frame time, and Create renders them into a new GIF
// in the work folder.

#include "camel_labels.h"
#include "common/output_choices.h"
#include "discrete_slider.h"
#include "platform/animated_image_view.h"
#include "platform/view_controller.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::photos {

class ImageAnimationScreen : public flickbook::platform::ViewController {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::components::DiscreteSlider* sliderDiscrite READ sliderDiscrite CONSTANT)
    Q_PROPERTY(flickbook::platform::AnimatedImageView* imageView READ imageView CONSTANT)
    Q_PROPERTY(flickbook::components::CamelLabels* labelDescrit READ labelDescrit CONSTANT)
    Q_PROPERTY(flickbook::common::OutputChoices* output READ output CONSTANT)

public:
    static constexpr double kDelayBeforeSetUp = 0.1;

    explicit ImageAnimationScreen(QObject* parent = nullptr);

    components::DiscreteSlider* sliderDiscrite() const { return slider_; }
    platform::AnimatedImageView* imageView() const { return imageView_; }
    components::CamelLabels* labelDescrit() const { return labels_; }
    common::OutputChoices* output() const { return output_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void prepareForSegue(const platform::StoryboardSegue& segue) override;

    void setUp();
    void startPreview(float frameTime);
    void stopPreview();

    Q_INVOKABLE void valueChange();
    Q_INVOKABLE void btnCreateGIF();
    Q_INVOKABLE void btnBack();

    // Where a GIF made at this time goes; empty when the Documents folder
    // cannot be had.
    static QUrl destinationFor(double epochSeconds);

    // The chosen photos as Done loaded them, at most the largest frame a GIF
    // shows them at (PhotoLibrary::requestFrameImage).
    QList<QImage> arrOfSelectedImages;
    double animationTime = 1.0;
    QUrl gifURL = QUrl::fromLocalFile(QString());

private:
    void rendered(const QUrl& destination, const std::optional<QString>& error);
    // Makes the photos again at the size the page draws them, on the
    // background queue, and has the preview play those.
    void makePreviewPictures();
    // The pictures in the order the GIF shows them: with bounce, forward
    // then back without repeating either end.
    QList<QImage> inPlayedOrder(const QList<QImage>& pictures) const;

    // The photos at previewBox_, once made; the preview plays these when
    // they are there.
    QList<QImage> previewPictures_;
    QSize previewBox_;
    int previewGeneration_ = 0;
    // A window being resized reports many sizes: the pictures are made again
    // for the last one, once it holds still.
    QTimer previewResized_;

    components::DiscreteSlider* slider_;
    platform::AnimatedImageView* imageView_;
    components::CamelLabels* labels_;
    common::OutputChoices* output_;
};

} // namespace flickbook::photos
