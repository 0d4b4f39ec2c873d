#include "app/ui/soft_shadow_effect.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Box widths whose three passes approximate a Gaussian of `sigma`.
std::vector<int> boxRadii(qreal sigma) {
    const qreal ideal = std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const qreal m = std::round((12.0 * sigma * sigma - 3.0 * lower * lower - 12.0 * lower - 9.0) / (-4.0 * lower - 4.0));
    std::vector<int> radii;
    for (int pass = 0; pass < 3; ++pass)
        radii.push_back(((pass < m) ? lower : upper) / 2);
    return radii;
}

// One running-sum box pass over a row or a column of alpha values.
void boxPass(std::vector<float> &values, int width, int height, int radius, bool horizontal) {
    if (radius <= 0)
        return;
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const auto at = [&](int line, int position) -> float & {
        return horizontal ? values[static_cast<size_t>(line) * width + position]
                          : values[static_cast<size_t>(position) * width + line];
    };
    std::vector<float> line(static_cast<size_t>(length));
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int l = 0; l < lines; ++l) {
        for (int p = 0; p < length; ++p)
            line[static_cast<size_t>(p)] = at(l, p);
        float sum = 0;
        for (int p = -radius; p <= radius; ++p)
            sum += (p >= 0 && p < length) ? line[static_cast<size_t>(p)] : 0.0f;
        for (int p = 0; p < length; ++p) {
            at(l, p) = sum * scale;
            const int leaving = p - radius;
            const int entering = p + radius + 1;
            if (leaving >= 0)
                sum -= line[static_cast<size_t>(leaving)];
            if (entering < length)
                sum += line[static_cast<size_t>(entering)];
        }
    }
}

} // namespace

QImage blurredShadow(const QImage &image, qreal sigma, const QColor &color, int *reach) {
    const std::vector<int> radii = sigma > 0 ? boxRadii(sigma) : std::vector<int>{0, 0, 0};
    const int margin = radii[0] + radii[1] + radii[2];
    *reach = margin;
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = source.width() + 2 * margin;
    const int height = source.height() + 2 * margin;
    std::vector<float> alpha(static_cast<size_t>(width) * height, 0.0f);
    for (int y = 0; y < source.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x)
            alpha[static_cast<size_t>(y + margin) * width + x + margin] = static_cast<float>(qAlpha(row[x])) / 255.0f;
    }
    for (int radius : radii) {
        boxPass(alpha, width, height, radius, true);
        boxPass(alpha, width, height, radius, false);
    }
    QImage shadow(width, height, QImage::Format_ARGB32_Premultiplied);
    const float colourAlpha = color.alphaF();
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(shadow.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float a = std::clamp(alpha[static_cast<size_t>(y) * width + x] * colourAlpha, 0.0f, 1.0f);
            row[x] = qRgba(static_cast<int>(std::lround(color.red() * a)), static_cast<int>(std::lround(color.green() * a)),
                           static_cast<int>(std::lround(color.blue() * a)), static_cast<int>(std::lround(255 * a)));
        }
    }
    return shadow;
}

SoftShadowEffect::SoftShadowEffect(QObject *parent) : QGraphicsEffect(parent) {}

void SoftShadowEffect::setShadow(const QColor &color, qreal radius, QPointF offset) {
    if (color == color_ && qFuzzyCompare(radius + 1, radius_ + 1) && offset == offset_)
        return;
    color_ = color;
    radius_ = radius;
    offset_ = offset;
    // With nothing to add the widget paints directly, without a layer.
    setEnabled(color_.alpha() > 0 || groupOpacity_ < 1.0);
    updateBoundingRect();
    update();
}

void SoftShadowEffect::setGroupOpacity(qreal opacity) {
    if (qFuzzyCompare(opacity + 1, groupOpacity_ + 1))
        return;
    groupOpacity_ = opacity;
    setEnabled(color_.alpha() > 0 || groupOpacity_ < 1.0);
    update();
}

QRectF SoftShadowEffect::boundingRectFor(const QRectF &sourceRect) const {
    // Three sigmas hold all of the blur that can be seen.
    const qreal spread = 1.5 * radius_ + 2;
    const QRectF shadow = sourceRect.translated(offset_).adjusted(-spread, -spread, spread, spread);
    return sourceRect.united(shadow);
}

void SoftShadowEffect::draw(QPainter *painter) {
    const bool hasShadow = color_.alpha() > 0;
    // The source in points, rasterised at the device's pixel ratio.
    QPoint sourceOffset;
    const QPixmap source = sourcePixmap(Qt::LogicalCoordinates, &sourceOffset, QGraphicsEffect::NoPad);
    if (source.isNull())
        return;
    const qreal ratio = source.devicePixelRatio();
    QImage sourceImage = source.toImage();

    QImage layer = sourceImage;
    QPointF layerOrigin = sourceOffset;
    if (hasShadow) {
        int reach = 0;
        const QImage shadow = blurredShadow(sourceImage, radius_ / 2.0 * ratio, color_, &reach);
        // Everything below is in device pixels, relative to the source's corner.
        const QPoint shift(static_cast<int>(std::lround(offset_.x() * ratio)),
                           static_cast<int>(std::lround(offset_.y() * ratio)));
        const QRect sourceRect(QPoint(0, 0), sourceImage.size());
        const QRect shadowRect(shift - QPoint(reach, reach), shadow.size());
        const QRect bounds = sourceRect.united(shadowRect);
        layer = QImage(bounds.size(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        QPainter layerPainter(&layer);
        layerPainter.drawImage(shadowRect.topLeft() - bounds.topLeft(), shadow);
        sourceImage.setDevicePixelRatio(1);
        layerPainter.drawImage(sourceRect.topLeft() - bounds.topLeft(), sourceImage);
        layerPainter.end();
        layerOrigin = QPointF(sourceOffset) + QPointF(bounds.topLeft()) / ratio;
    }
    layer.setDevicePixelRatio(ratio);

    painter->save();
    painter->setOpacity(painter->opacity() * groupOpacity_);
    painter->drawImage(layerOrigin, layer);
    painter->restore();
}
