#pragma once

// The look of every navigation bar in the window, set once at launch. One
// object serves both the standard and the scrolled-under state, so a bar
// looks the same whether or not content scrolls beneath it.

#include <QColor>
#include <QFont>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class NavigationBarAppearance : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The one appearance of every bar")
    Q_PROPERTY(QColor backgroundColor MEMBER backgroundColor NOTIFY changed)
    Q_PROPERTY(QColor shadowColor MEMBER shadowColor NOTIFY changed)
    Q_PROPERTY(QColor titleColor MEMBER titleColor NOTIFY changed)
    Q_PROPERTY(QFont titleFont MEMBER titleFont NOTIFY changed)
    Q_PROPERTY(QColor tintColor MEMBER tintColor NOTIFY changed)

public:
    // The shared appearance of all bars.
    static NavigationBarAppearance& proxy();

    // A translucent system look until configured.
    void configureWithOpaqueBackground();
    void apply() { Q_EMIT changed(); }

    QColor backgroundColor = QColor(248, 248, 248, 235);
    QColor shadowColor = QColor(0, 0, 0, 76);
    QColor titleColor = Qt::black;
    QFont titleFont;
    QColor tintColor = QColor(0, 122, 255);

signals:
    void changed();

private:
    using QObject::QObject;
};

} // namespace flickbook::platform
