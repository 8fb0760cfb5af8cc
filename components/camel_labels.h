#pragma once

// The row of step labels under a discrete slider: one text per stop, the
// chosen one emphasised in a larger type.

#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace flickbook::components {

class CamelLabels : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by its screen")
    Q_PROPERTY(QStringList names MEMBER names NOTIFY changed)
    Q_PROPERTY(int value MEMBER value NOTIFY changed)
    Q_PROPERTY(double ticksDistance MEMBER ticksDistance NOTIFY changed)
    Q_PROPERTY(double upFontSize MEMBER upFontSize NOTIFY changed)
    Q_PROPERTY(double downFontSize MEMBER downFontSize NOTIFY changed)
    // The width the row has on screen, kept up to date by the page.
    Q_PROPERTY(double width MEMBER width NOTIFY changed)

public:
    using QObject::QObject;

    void apply() { Q_EMIT changed(); }
    void setValue(int index) {
        value = index;
        Q_EMIT changed();
    }

    QStringList names;
    int value = 0; // the emphasised label
    double ticksDistance = 0.0;
    double upFontSize = 13.0;   // the emphasised label
    double downFontSize = 10.0; // the others
    double width = 0.0;

signals:
    void changed();
};

} // namespace flickbook::components
