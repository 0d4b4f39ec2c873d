#include "tools/demo/sample_pictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>
#include <numbers>

QList<Scene> demoScenes() {
    return {
        // Sunset over hills.
        {QColor(0x2b, 0x1f, 0x5c), QColor(0xff, 0x9a, 0x5a), QColor(0xff, 0xe0, 0x8a), {0.62, 0.55}, 0.09, 0, false,
         {{QColor(0x6b, 0x3f, 0x6e), 0.58, 0.07, 2.5, 0.4},
          {QColor(0x45, 0x2a, 0x52), 0.68, 0.06, 3.5, 1.7},
          {QColor(0x22, 0x16, 0x30), 0.80, 0.05, 5.0, 2.9}}},
        // A lake at noon.
        {QColor(0x3a, 0x8d, 0xde), QColor(0xc9, 0xe8, 0xff), QColor(0xff, 0xfb, 0xe6), {0.25, 0.18}, 0.06, 0, true,
         {{QColor(0x7d, 0x9c, 0xb5), 0.45, 0.16, 1.5, 0.2}, {QColor(0x3f, 0x7a, 0x4e), 0.55, 0.05, 4.0, 1.1}}},
        // A clear night.
        {QColor(0x05, 0x08, 0x1c), QColor(0x1c, 0x2b, 0x5a), QColor(0xf2, 0xf0, 0xe0), {0.78, 0.22}, 0.05, 220, false,
         {{QColor(0x14, 0x1d, 0x33), 0.70, 0.08, 2.0, 0.9}, {QColor(0x0a, 0x0f, 0x1e), 0.82, 0.05, 3.0, 2.2}}},
        // Green fields in the morning.
        {QColor(0x8f, 0xc6, 0xf0), QColor(0xf7, 0xf3, 0xd9), QColor(0xff, 0xf4, 0xc2), {0.15, 0.35}, 0.07, 0, false,
         {{QColor(0x9b, 0xc5, 0x6e), 0.60, 0.05, 1.8, 0.3},
          {QColor(0x5f, 0x9e, 0x45), 0.70, 0.06, 2.6, 1.4},
          {QColor(0x35, 0x6e, 0x2c), 0.84, 0.04, 4.2, 0.6}}},
    };
}

namespace {

QPainterPath hillPath(const HillLayer &layer, QSizeF size) {
    QPainterPath path(QPointF(0, size.height()));
    constexpr int steps = 200;
    for (int i = 0; i <= steps; ++i) {
        const double x = double(i) / steps;
        const double wave = std::sin(2 * std::numbers::pi * layer.waves * x + layer.phase) +
                            0.35 * std::sin(2 * std::numbers::pi * layer.waves * 2.7 * x + 2 * layer.phase);
        path.lineTo(x * size.width(), (layer.baseline - layer.amplitude * wave) * size.height());
    }
    path.lineTo(size.width(), size.height());
    path.closeSubpath();
    return path;
}

} // namespace

QImage paintScene(const Scene &scene, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QSizeF area(size);

    QLinearGradient sky(0, 0, 0, area.height());
    sky.setColorAt(0, scene.skyTop);
    sky.setColorAt(1, scene.skyBottom);
    painter.fillRect(image.rect(), sky);

    // Fixed seed: the same picture, byte for byte, every time it is made.
    QRandomGenerator random(20240612);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < scene.stars; ++i) {
        const QPointF at(random.bounded(area.width()), random.bounded(area.height() * 0.7));
        painter.setBrush(QColor(255, 255, 240, 120 + random.bounded(135)));
        painter.drawEllipse(at, 1.0 + random.bounded(1.5), 1.0 + random.bounded(1.5));
    }

    const QPointF sun(scene.sunCentre.x() * area.width(), scene.sunCentre.y() * area.height());
    const double radius = scene.sunRadius * area.height();
    QRadialGradient glow(sun, radius * 4);
    QColor halo = scene.sunColour;
    halo.setAlpha(110);
    glow.setColorAt(0, halo);
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.setBrush(glow);
    painter.drawEllipse(sun, radius * 4, radius * 4);
    painter.setBrush(scene.sunColour);
    painter.drawEllipse(sun, radius, radius);

    for (const HillLayer &layer : scene.hills) {
        painter.setBrush(layer.colour);
        painter.drawPath(hillPath(layer, area));
    }

    if (scene.water) {
        // The lower part mirrors what is above the shore, darkened and rippled.
        const int shore = int(area.height() * 0.62);
        const QImage above = image.copy(0, 0, size.width(), shore).mirrored(false, true);
        for (int y = 0; shore + y < size.height() && y < above.height(); ++y) {
            const int shift = int(6 * std::sin(y * 0.25));
            painter.drawImage(QPointF(shift, shore + y), above, QRectF(0, y, size.width(), 1));
        }
        painter.fillRect(QRect(0, shore, size.width(), size.height() - shore), QColor(10, 40, 80, 90));
    }
    painter.end();
    return image;
}

QByteArray encodeImage(const QImage &image, const char *format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image)) return {};
    return bytes;
}
