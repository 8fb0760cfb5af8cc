#include "input_source.h"

#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <algorithm>
#include <functional>

namespace flickbook::monkey {

namespace {

// Items a user would aim at: those that take clicks or touches themselves
// (buttons, sliders, cells, the trimmer's handles). Pointer handlers are not
// items, but the items they sit on are hit by taps anywhere.
bool isControl(const QQuickItem* item) {
    return item->acceptedMouseButtons() != Qt::NoButton || item->acceptTouchEvents() ||
           item->activeFocusOnTab();
}

bool shows(const QQuickItem* item, const QRectF& windowRect) {
    if (!item->isVisible() || !item->isEnabled() || item->opacity() <= 0.01 || item->width() < 4 ||
        item->height() < 4)
        return false;
    const QRectF scene = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    return scene.intersects(windowRect);
}

} // namespace

QString describe(const QQuickItem* item) {
    if (!item)
        return QStringLiteral("nothing");
    if (!item->objectName().isEmpty())
        return item->objectName();
    return QString::fromLatin1(item->metaObject()->className());
}

InputSource::InputSource(QQuickWindow* window, std::uint64_t seed, QList<QUrl> droppable)
    : window_(window), random_(seed), droppable_(std::move(droppable)) {}

int InputSource::uniform(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
}

bool InputSource::chance(double p) {
    return std::bernoulli_distribution(p)(random_);
}

QString InputSource::next() {
    pauseMs_ = 0;
    const int roll = uniform(0, 99);
    if (roll < 50)
        return tapControl();
    if (roll < 58)
        return tapAnywhere();
    if (roll < 70)
        return drag();
    if (roll < 88)
        return key();
    if (roll < 91)
        return resize();
    if (roll < 93)
        return drop();
    // Now and then the user waits: renders finish, clips play, alerts time out.
    pauseMs_ = uniform(300, 2500);
    return QStringLiteral("wait %1 ms").arg(pauseMs_);
}

QList<QQuickItem*> InputSource::controls() const {
    QList<QQuickItem*> found;
    const QRectF windowRect(0, 0, window_->width(), window_->height());
    std::function<void(QQuickItem*)> walk = [&](QQuickItem* item) {
        if (!item->isVisible())
            return;
        if (item != window_->contentItem() && isControl(item) && shows(item, windowRect))
            found << item;
        for (QQuickItem* child : item->childItems())
            walk(child);
    };
    walk(window_->contentItem());
    return found;
}

QPoint InputSource::randomPoint() {
    return {uniform(0, std::max(0, window_->width() - 1)),
            uniform(0, std::max(0, window_->height() - 1))};
}

QPoint InputSource::randomPointIn(QQuickItem* item) {
    const QRectF scene = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()))
                             .intersected(QRectF(0, 0, window_->width(), window_->height()));
    // Mostly the middle, as people aim; sometimes anywhere on the item.
    if (chance(0.7))
        return scene.center().toPoint();
    return QPoint(uniform(int(scene.left()), int(scene.right()) - 1),
                  uniform(int(scene.top()), int(scene.bottom()) - 1));
}

QString InputSource::tapControl() {
    const auto items = controls();
    if (items.isEmpty())
        return tapAnywhere();
    QQuickItem* item = items[uniform(0, int(items.size()) - 1)];
    const QPoint at = randomPointIn(item);
    const QString name = describe(item);
    if (chance(0.1)) {
        QTest::mouseDClick(window_, Qt::LeftButton, {}, at);
        return QStringLiteral("double-click %1 at %2,%3").arg(name).arg(at.x()).arg(at.y());
    }
    QTest::mouseClick(window_, Qt::LeftButton, {}, at);
    return QStringLiteral("tap %1 at %2,%3").arg(name).arg(at.x()).arg(at.y());
}

QString InputSource::tapAnywhere() {
    const QPoint at = randomPoint();
    const bool back = chance(0.1);
    QTest::mouseClick(window_, back ? Qt::BackButton : Qt::LeftButton, {}, at);
    return QStringLiteral("%1 at %2,%3").arg(back ? "back button" : "tap").arg(at.x()).arg(at.y());
}

QString InputSource::drag() {
    const auto items = controls();
    const QPoint from = !items.isEmpty() && chance(0.7)
                            ? randomPointIn(items[uniform(0, int(items.size()) - 1)])
                            : randomPoint();
    QPoint to = chance(0.5) ? QPoint(from.x() + uniform(-300, 300), from.y())
                            : QPoint(from.x() + uniform(-80, 80), from.y() + uniform(-400, 400));
    // Drags stay on the window, as a pointer's do.
    to = QPoint(std::clamp(to.x(), 0, window_->width() - 1),
                std::clamp(to.y(), 0, window_->height() - 1));
    const int steps = uniform(2, 12);
    QTest::mousePress(window_, Qt::LeftButton, {}, from);
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(window_, from + (to - from) * i / steps, 16);
    QTest::mouseRelease(window_, Qt::LeftButton, {}, to, 16);
    return QStringLiteral("drag %1,%2 → %3,%4 in %5 steps")
        .arg(from.x())
        .arg(from.y())
        .arg(to.x())
        .arg(to.y())
        .arg(steps);
}

QString InputSource::key() {
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* name;
    };
    static const Key keys[] = {
        {Qt::Key_Tab, Qt::NoModifier, "Tab"},
        {Qt::Key_Tab, Qt::NoModifier, "Tab"},
        {Qt::Key_Backtab, Qt::ShiftModifier, "Shift+Tab"},
        {Qt::Key_Return, Qt::NoModifier, "Return"},
        {Qt::Key_Space, Qt::NoModifier, "Space"},
        {Qt::Key_Escape, Qt::NoModifier, "Escape"},
        {Qt::Key_Left, Qt::NoModifier, "Left"},
        {Qt::Key_Right, Qt::NoModifier, "Right"},
        {Qt::Key_Up, Qt::NoModifier, "Up"},
        {Qt::Key_Down, Qt::NoModifier, "Down"},
        {Qt::Key_Left, Qt::AltModifier, "Alt+Left"},
        {Qt::Key_Backspace, Qt::NoModifier, "Backspace"},
        {Qt::Key_A, Qt::NoModifier, "a"},
        {Qt::Key_1, Qt::NoModifier, "1"},
    };
    const Key& chosen = keys[uniform(0, int(std::size(keys)) - 1)];
    QTest::keyClick(window_, chosen.key, chosen.modifiers);
    return QStringLiteral("key %1").arg(chosen.name);
}

QString InputSource::resize() {
    const QSize size(uniform(320, 1600), uniform(480, 1000));
    window_->resize(size);
    return QStringLiteral("resize to %1×%2").arg(size.width()).arg(size.height());
}

// A drop as a file manager makes it: enter, move, drop, with the URLs of a
// few files, good or bad.
QString InputSource::drop() {
    if (droppable_.isEmpty())
        return key();
    QList<QUrl> urls;
    const int count = chance(0.6) ? 1 : uniform(2, 5);
    for (int i = 0; i < count; ++i)
        urls << droppable_[uniform(0, int(droppable_.size()) - 1)];
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = randomPoint();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(window_, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(window_, &move);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(window_, &dropped);
    QStringList names;
    for (const QUrl& url : urls)
        names << url.fileName();
    return QStringLiteral("drop %1").arg(names.join(", "));
}

} // namespace flickbook::monkey
