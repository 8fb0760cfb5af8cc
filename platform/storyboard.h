#pragma once

// The table of segues: every identifier the app knows, with the class of its
// destination, and for the screens that exist, how to make one and which QML
// page draws it. A segue whose screen does not exist yet is known but empty.

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>

namespace flickbook::platform {

class ViewController;

class Storyboard {
public:
    using Factory = std::function<ViewController*(QObject* parent)>;

    struct Scene {
        QString destinationClass;
        QUrl page;
        Factory make; // empty until the screen is registered
    };

    // Declares an identifier and the class it leads to.
    void declareSegue(const QString& identifier, const QString& destinationClass);
    // Gives a declared identifier its screen.
    void registerScene(const QString& identifier, const QUrl& page, Factory make);

    // nullptr for an identifier never declared.
    const Scene* scene(const QString& identifier) const;

private:
    std::map<QString, Scene> scenes_;
};

} // namespace flickbook::platform
