#pragma once

// What shows a player's picture inside a view of a screen, and how the
// picture is fitted there. A view holds at most one such layer; the page
// draws the view's layer with a VideoOutput.

#include "player.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class VideoView;

class PlayerLayer : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A player layer is made by its screen")
    Q_PROPERTY(flickbook::platform::Player* player READ player NOTIFY changed)
    Q_PROPERTY(VideoGravity videoGravity READ videoGravity NOTIFY changed)

public:
    enum class VideoGravity {
        ResizeAspect,     // the whole picture, letterboxed
        ResizeAspectFill, // the view filled, the picture cropped
        Resize,           // stretched to the view
    };
    Q_ENUM(VideoGravity)

    explicit PlayerLayer(Player* player = nullptr, QObject* parent = nullptr)
        : QObject(parent), player_(player) {}

    Player* player() const { return player_; }
    VideoGravity videoGravity() const { return gravity_; }
    void setVideoGravity(VideoGravity gravity) {
        gravity_ = gravity;
        Q_EMIT changed();
    }

    VideoView* superlayer() const { return superlayer_; }
    // Takes the layer out of the view that shows it.
    void removeFromSuperlayer();

signals:
    void changed();

private:
    friend class VideoView;
    QPointer<Player> player_;
    VideoGravity gravity_ = VideoGravity::ResizeAspect;
    QPointer<VideoView> superlayer_;
};

// A view outlet of a screen that shows one player layer across its bounds.
class VideoView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A view is an outlet of its screen")
    Q_PROPERTY(flickbook::platform::PlayerLayer* layer READ layer NOTIFY layerChanged)

public:
    using QObject::QObject;

    PlayerLayer* layer() const { return layer_; }
    // Shows the layer in this view, in place of any other.
    void addSublayer(PlayerLayer* layer) {
        if (layer->superlayer_ && layer->superlayer_ != this)
            layer->removeFromSuperlayer();
        if (layer_ && layer_ != layer)
            layer_->superlayer_ = nullptr;
        layer->superlayer_ = this;
        layer_ = layer;
        Q_EMIT layerChanged();
    }

signals:
    void layerChanged();

private:
    friend class PlayerLayer;
    QPointer<PlayerLayer> layer_;
};

inline void PlayerLayer::removeFromSuperlayer() {
    if (!superlayer_)
        return;
    VideoView* view = superlayer_;
    superlayer_ = nullptr;
    if (view->layer_ == this) {
        view->layer_ = nullptr;
        Q_EMIT view->layerChanged();
    }
}

} // namespace flickbook::platform
