#pragma once

// What the navigation bar shows for a screen: its title and the bar-button
// items on the left and right. The window draws the bar from the top screen's
// item; screens change the items and the bar follows.

#include <QColor>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class BarButtonItem : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by its screen")
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY changed)
    Q_PROPERTY(QUrl image READ image WRITE setImage NOTIFY changed)
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY changed)
    // An invalid colour means the bar's own tint (black).
    Q_PROPERTY(QColor tintColor READ tintColor WRITE setTintColor NOTIFY changed)
    Q_PROPERTY(bool hasTintColor READ hasTintColor NOTIFY changed)

public:
    explicit BarButtonItem(const QString& title, QObject* parent = nullptr);

    QString title() const { return title_; }
    void setTitle(const QString& title);
    QUrl image() const { return image_; }
    void setImage(const QUrl& image);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    QColor tintColor() const { return tint_; }
    void setTintColor(const QColor& tint);
    bool hasTintColor() const { return tint_.isValid(); }

    // What a tap does; does nothing while disabled.
    Q_INVOKABLE void trigger();

signals:
    void changed();
    void triggered();

private:
    QString title_;
    QUrl image_;
    bool enabled_ = true;
    QColor tint_;
};

class NavigationItem : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by its screen")
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY changed)
    Q_PROPERTY(
        flickbook::platform::BarButtonItem* leftBarButtonItem READ leftBarButtonItem NOTIFY changed)
    Q_PROPERTY(flickbook::platform::BarButtonItem* rightBarButtonItem READ rightBarButtonItem NOTIFY
                   changed)

public:
    using QObject::QObject;

    QString title() const { return title_; }
    void setTitle(const QString& title);
    BarButtonItem* leftBarButtonItem() const { return left_; }
    BarButtonItem* rightBarButtonItem() const { return right_; }
    // The item takes ownership of the buttons.
    void setLeftBarButtonItem(BarButtonItem* item);
    void setRightBarButtonItem(BarButtonItem* item);

signals:
    void changed();

private:
    QString title_;
    BarButtonItem* left_ = nullptr;
    BarButtonItem* right_ = nullptr;
};

} // namespace flickbook::platform
