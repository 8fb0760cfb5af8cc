#include "storyboard.h"

namespace flickbook::platform {

void Storyboard::declareSegue(const QString& identifier, const QString& destinationClass) {
    scenes_[identifier].destinationClass = destinationClass;
}

void Storyboard::registerScene(const QString& identifier, const QUrl& page, Factory make) {
    Scene& scene = scenes_[identifier];
    scene.page = page;
    scene.make = std::move(make);
}

const Storyboard::Scene* Storyboard::scene(const QString& identifier) const {
    auto it = scenes_.find(identifier);
    return it == scenes_.end() ? nullptr : &it->second;
}

} // namespace flickbook::platform
