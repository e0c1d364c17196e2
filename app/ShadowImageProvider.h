#pragma once

// "image://shadow/R/B/COLOR": the blurred shadow of a rounded rectangle of
// corner radius R and blur radius B in COLOR (aarrggbb hex digits, no "#"), as
// a nine-patch of side 2 × (R + 2B) + 1 whose borders are R + 2B wide (see
// ShadowBox.qml).

#include <QColor>
#include <QImage>
#include <QQuickImageProvider>

namespace moss::ui {

class ShadowImageProvider : public QQuickImageProvider {
public:
    ShadowImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The shadow image itself; a null image for a malformed description.
    static QImage render(int radius, int blur, const QColor& color);
};

} // namespace moss::ui
