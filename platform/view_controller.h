#pragma once

// A screen: the C++ backend of one QML page. Its page reads its properties
// and calls its actions; the navigation controller calls the life-cycle
// methods below in the order a phone would.

#include "navigation_item.h"

#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace flickbook::platform {

class AlertController;
class NavigationController;
class ShareSheet;
class ViewController;

struct StoryboardSegue {
    QString identifier;
    ViewController* source = nullptr;
    ViewController* destination = nullptr;
};

class ViewController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens are made by the storyboard")
    Q_PROPERTY(flickbook::platform::NavigationItem* navigationItem READ navigationItem CONSTANT)
    // The page's size in points, kept up to date by the page.
    Q_PROPERTY(QSizeF viewSize READ viewSize WRITE setViewSize NOTIFY viewSizeChanged)

public:
    explicit ViewController(QObject* parent = nullptr);
    ~ViewController() override;

    NavigationItem* navigationItem() const { return navigationItem_; }
    // The controller whose stack holds this screen, if any.
    NavigationController* navigationController() const;

    QSizeF viewSize() const { return viewSize_; }
    void setViewSize(const QSizeF& size);

    // Called once, before the screen is first shown.
    virtual void viewDidLoad() {}
    // Called each time the screen is about to become the top of the stack.
    virtual void viewWillAppear(bool animated) { Q_UNUSED(animated); }
    // Called on the source of a segue once its destination exists and before it loads.
    virtual void prepareForSegue(const StoryboardSegue& segue) { Q_UNUSED(segue); }

    void performSegueWithIdentifier(const QString& identifier);

    // What Escape, Alt+Left and the mouse's back button do: the screen's
    // Back (its left bar button, when it can be used). False when nothing
    // happened.
    Q_INVOKABLE virtual bool goBack();
    // Shows the alert or share sheet over the window; the presenter owns it
    // until it is done.
    void present(AlertController* alert);
    void present(ShareSheet* sheet);

signals:
    void viewSizeChanged();

private:
    friend class NavigationController;
    NavigationItem* navigationItem_;
    QPointer<NavigationController> navigationController_;
    QSizeF viewSize_;
};

} // namespace flickbook::platform
