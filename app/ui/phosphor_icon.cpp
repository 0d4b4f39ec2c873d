#include "app/ui/phosphor_icon.h"

#include "resources/resource_paths.h"

#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>
#include <memory>

namespace {

// Parsed once per icon; the renderers are only used on the GUI thread.
QSvgRenderer *rendererFor(const QString &iconName) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    auto found = renderers.find(iconName);
    if (found == renderers.end()) {
        const QString path = resources::phosphorIconPath(iconName);
        std::shared_ptr<QSvgRenderer> renderer;
        if (QFile::exists(path)) {
            renderer = std::make_shared<QSvgRenderer>(path);
            if (!renderer->isValid())
                renderer.reset();
        }
        found = renderers.insert(iconName, renderer);
    }
    return found->get();
}

QImage renderTinted(QSvgRenderer &renderer, int pixels, const QColor &color) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    // Keep the icon's coverage, replace its colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

class PhosphorIconEngine final : public QIconEngine {
public:
    PhosphorIconEngine(QString iconName, QColor color) : iconName_(std::move(iconName)), color_(color) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override {
        const qreal ratio = devicePixelRatioOf(*painter);
        const qreal side = std::min(rect.width(), rect.height());
        const QPixmap pixmap = phosphorPixmap(iconName_, side, color_, ratio);
        if (pixmap.isNull())
            return;
        const QRectF target(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0, side, side);
        painter->drawPixmap(target, pixmap, QRectF(pixmap.rect()));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // QIcon hands over the size in device pixels here.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode, QIcon::State, qreal scale) override {
        const qreal ratio = scale > 0 ? scale : 1.0;
        return phosphorPixmap(iconName_, std::min(size.width(), size.height()) / ratio, color_, ratio);
    }

    QIconEngine *clone() const override { return new PhosphorIconEngine(iconName_, color_); }

    QString iconName() override { return iconName_; }

private:
    QString iconName_;
    QColor color_;
};

} // namespace

bool phosphorIconExists(const QString &iconName) {
    return rendererFor(iconName) != nullptr;
}

qreal devicePixelRatioOf(const QPainter &painter) {
    // A widget rendered into a high-DPI image keeps the widget as the
    // painter's device; the device transform carries the real scale.
    const QTransform transform = painter.deviceTransform();
    const qreal transformScale = std::sqrt(std::abs(transform.determinant()));
    const qreal deviceRatio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    return std::max({deviceRatio, transformScale, 1.0});
}

QPixmap phosphorPixmap(const QString &iconName, qreal size, const QColor &color, qreal devicePixelRatio) {
    QSvgRenderer *renderer = rendererFor(iconName);
    if (!renderer || size <= 0)
        return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int pixels = std::max(1, static_cast<int>(std::lround(size * ratio)));
    const QString key = QStringLiteral("ph:%1:%2:%3").arg(iconName).arg(pixels).arg(color.rgba(), 8, 16, QLatin1Char('0'));
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap::fromImage(renderTinted(*renderer, pixels, color));
        QPixmapCache::insert(key, pixmap);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QIcon phosphorIcon(const QString &iconName, const QColor &color) {
    return QIcon(new PhosphorIconEngine(iconName, color));
}
