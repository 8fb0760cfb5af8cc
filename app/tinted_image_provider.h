#pragma once

// Images in a colour of the caller's choosing, for bar buttons and icons
// that follow a tint: "image://tinted/<hex colour>/<resource path>". The
// picture's shape (its alpha) is kept and filled with the colour. Done on
// the CPU so it also works where the scene graph has no shaders.

#include <QQuickImageProvider>

namespace flickbook::app {

class TintedImageProvider : public QQuickImageProvider {
public:
    TintedImageProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

} // namespace flickbook::app
