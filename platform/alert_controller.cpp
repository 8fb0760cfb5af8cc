#include "alert_controller.h"

namespace flickbook::platform {

AlertController::AlertController(const QString& title, const QString& message, QObject* parent)
    : QObject(parent), title_(title), message_(message) {}

QStringList AlertController::actionTitles() const {
    QStringList titles;
    for (const auto& action : actions_)
        titles << action.title;
    return titles;
}

void AlertController::setTintColor(const QColor& tint) {
    if (tint_ != tint) {
        tint_ = tint;
        Q_EMIT tintColorChanged();
    }
}

void AlertController::addAction(const QString& title, ActionStyle style, Handler handler) {
    actions_.push_back({title, style, std::move(handler)});
    Q_EMIT actionsChanged();
}

int AlertController::actionStyle(int index) const {
    if (index < 0 || index >= int(actions_.size()))
        return int(ActionStyle::Default);
    return int(actions_[std::size_t(index)].style);
}

void AlertController::chooseAction(int index) {
    // A double click must not run a handler twice.
    if (chosen_ || index < 0 || index >= int(actions_.size()))
        return;
    chosen_ = true;
    Handler handler = actions_[std::size_t(index)].handler;
    Q_EMIT finished();
    if (handler)
        handler();
}

void AlertController::escape() {
    if (escapeAction_ >= 0 && escapeAction_ < int(actions_.size())) {
        chooseAction(escapeAction_);
        return;
    }
    if (chosen_)
        return;
    chosen_ = true;
    Q_EMIT finished();
}

} // namespace flickbook::platform
