#include "ShadowImageProvider.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <vector>

namespace moss::ui {

namespace {

// One pass of a horizontal box blur of width 2 * half + 1 over an alpha plane.
void boxBlurRows(std::vector<float>& plane, int side, int half) {
    std::vector<float> row(static_cast<size_t>(side));
    const float scale = 1.0f / static_cast<float>(2 * half + 1);
    for (int y = 0; y < side; ++y) {
        float* line = plane.data() + static_cast<size_t>(y) * static_cast<size_t>(side);
        float sum = 0;
        for (int x = -half; x <= half; ++x)
            sum += (x >= 0 && x < side) ? line[x] : 0.0f;
        for (int x = 0; x < side; ++x) {
            row[static_cast<size_t>(x)] = sum * scale;
            const int out = x - half;
            const int in = x + half + 1;
            sum += (in < side ? line[in] : 0.0f) - (out >= 0 ? line[out] : 0.0f);
        }
        std::copy(row.begin(), row.end(), line);
    }
}

void transpose(std::vector<float>& plane, int side) {
    for (int y = 0; y < side; ++y)
        for (int x = y + 1; x < side; ++x)
            std::swap(plane[static_cast<size_t>(y * side + x)],
                      plane[static_cast<size_t>(x * side + y)]);
}

// Three box blurs in each direction approximate a Gaussian of sigma blur / 2.
void gaussianBlur(std::vector<float>& plane, int side, int blur) {
    const double sigma = blur / 2.0;
    const int half = std::max(1, static_cast<int>(std::lround(std::sqrt(sigma * sigma + 1) - 0.5)));
    for (int direction = 0; direction < 2; ++direction) {
        for (int pass = 0; pass < 3; ++pass)
            boxBlurRows(plane, side, half);
        transpose(plane, side);
    }
}

} // namespace

QImage ShadowImageProvider::render(int radius, int blur, const QColor& color) {
    if (radius < 0 || blur < 0 || radius > 256 || blur > 256 || !color.isValid())
        return {};
    const int border = radius + 2 * blur;
    const int side = 2 * border + 1;

    QImage shape(side, side, QImage::Format_Alpha8);
    shape.fill(0);
    {
        QPainter painter(&shape);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(2 * blur, 2 * blur, side - 4 * blur, side - 4 * blur), radius,
                            radius);
        painter.fillPath(path, Qt::black);
    }
    std::vector<float> plane(static_cast<size_t>(side) * static_cast<size_t>(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            plane[static_cast<size_t>(y * side + x)] = shape.constScanLine(y)[x] / 255.0f;
    if (blur > 0)
        gaussianBlur(plane, side, blur);

    QImage image(side, side, QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const float alpha = plane[static_cast<size_t>(y * side + x)] * color.alphaF();
            line[x] = qRgba(color.red(), color.green(), color.blue(),
                            std::clamp(static_cast<int>(std::lround(alpha * 255)), 0, 255));
        }
    }
    return image;
}

QImage ShadowImageProvider::requestImage(const QString& id, QSize* size, const QSize&) {
    const QStringList parts = id.split(u'/');
    QImage image;
    if (parts.size() == 3) {
        bool radiusOk = false;
        bool blurOk = false;
        const int radius = parts[0].toInt(&radiusOk);
        const int blur = parts[1].toInt(&blurOk);
        if (radiusOk && blurOk)
            image = render(radius, blur, QColor(u'#' + parts[2]));
    }
    if (size)
        *size = image.size();
    return image;
}

} // namespace moss::ui
