#pragma once

// A text outlet of a screen: what the label says and whether it is hidden.

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class Label : public QObject {
    Q_OBJECT
    // Named apart from the controls' Label, which pages use too.
    QML_NAMED_ELEMENT(LabelOutlet)
    QML_UNCREATABLE("A label is an outlet of its screen")
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY changed)
    Q_PROPERTY(bool hidden READ isHidden WRITE setHidden NOTIFY changed)

public:
    explicit Label(const QString& text, QObject* parent = nullptr) : QObject(parent), text_(text) {}

    QString text() const { return text_; }
    void setText(const QString& text) {
        if (text_ != text) {
            text_ = text;
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
    QString text_;
    bool hidden_ = false;
};

} // namespace flickbook::platform
