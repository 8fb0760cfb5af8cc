#pragma once

// A modal alert: title, message and actions in the order they were added.
// Presented by a screen, drawn by the window as a centred dialog; choosing an
// action closes the alert first and then runs the action's handler.

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <vector>

namespace flickbook::platform {

class AlertController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the screen that presents it")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString message READ message CONSTANT)
    Q_PROPERTY(QStringList actionTitles READ actionTitles NOTIFY actionsChanged)
    Q_PROPERTY(QColor tintColor READ tintColor WRITE setTintColor NOTIFY tintColorChanged)

public:
    enum class ActionStyle { Default, Cancel, Destructive };
    Q_ENUM(ActionStyle)
    using Handler = std::function<void()>;

    // An empty title shows the message alone.
    AlertController(const QString& title, const QString& message, QObject* parent = nullptr);

    QString title() const { return title_; }
    QString message() const { return message_; }
    QStringList actionTitles() const;
    QColor tintColor() const { return tint_; }
    void setTintColor(const QColor& tint);

    void addAction(const QString& title, ActionStyle style = ActionStyle::Default,
                   Handler handler = {});
    Q_INVOKABLE int actionStyle(int index) const;

    // The user chose the action at index: the alert closes, then the handler runs.
    Q_INVOKABLE void chooseAction(int index);

    // The action Escape chooses; by default none: Escape only closes the
    // alert, as a tap beside a phone's alert would not.
    void setEscapeAction(int index) { escapeAction_ = index; }
    int escapeAction() const { return escapeAction_; }
    // Escape: the escape action, or closing with none.
    Q_INVOKABLE void escape();

signals:
    void actionsChanged();
    void tintColorChanged();
    // The alert is done with; whoever presented it takes it down.
    void finished();

private:
    struct Action {
        QString title;
        ActionStyle style;
        Handler handler;
    };
    QString title_;
    QString message_;
    QColor tint_;
    std::vector<Action> actions_;
    bool chosen_ = false;
    int escapeAction_ = -1;
};

} // namespace flickbook::platform
