#pragma once

// A button outlet of a screen: the picture it shows, whether it can be used
// and whether it is shown. The page draws it and calls the screen's action.

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class Button : public QObject {
    Q_OBJECT
    // Named apart from the controls' Button, which pages use too.
    QML_NAMED_ELEMENT(ButtonOutlet)
    QML_UNCREATABLE("A button is an outlet of its screen")
    Q_PROPERTY(QUrl image READ image NOTIFY changed)
    Q_PROPERTY(bool enabled READ isEnabled NOTIFY changed)
    Q_PROPERTY(bool hidden READ isHidden NOTIFY changed)

public:
    using QObject::QObject;

    QUrl image() const { return image_; }
    void setImage(const QUrl& image) {
        if (image_ != image) {
            image_ = image;
            Q_EMIT changed();
        }
    }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        if (enabled_ != enabled) {
            enabled_ = enabled;
            Q_EMIT changed();
        }
    }
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) {
        if (hidden_ != hidden) {
            hidden_ = hidden;
            Q_EMIT changed();
        }
    }

signals:
    void changed();

private:
    QUrl image_;
    bool enabled_ = true;
    bool hidden_ = false;
};

} // namespace flickbook::platform
