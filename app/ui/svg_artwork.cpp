#include "app/ui/svg_artwork.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

SvgArtwork::SvgArtwork(const QString &resourcePath, qreal size, QWidget *parent)
    : QWidget(parent), resourcePath_(resourcePath), size_(size), renderer_(new QSvgRenderer(resourcePath)) {
    setAttribute(Qt::WA_TranslucentBackground);
    const int side = static_cast<int>(std::ceil(size));
    setFixedSize(side, side);
}

SvgArtwork::~SvgArtwork() {
    delete renderer_;
}

void SvgArtwork::paintEvent(QPaintEvent *) {
    if (!renderer_->isValid())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Drawn as vectors straight onto the device, so it is sharp at any ratio.
    renderer_->render(&painter, QRectF((width() - size_) / 2.0, (height() - size_) / 2.0, size_, size_));
}
