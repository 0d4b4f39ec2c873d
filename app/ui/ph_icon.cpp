#include "app/ui/ph_icon.h"

#include "app/ui/phosphor_icon.h"

#include <QPainter>

#include <cmath>

PhIcon::PhIcon(const QString &iconName, qreal size, const QColor &color, QWidget *parent)
    : QWidget(parent), iconName_(iconName), size_(size), color_(color) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

void PhIcon::setIconName(const QString &iconName) {
    iconName_ = iconName;
    update();
}

void PhIcon::setColor(const QColor &color) {
    color_ = color;
    update();
}

QSize PhIcon::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return {side, side};
}

void PhIcon::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const qreal ratio = devicePixelRatioOf(painter);
    const QPixmap pixmap = phosphorPixmap(iconName_, size_, color_, ratio);
    if (pixmap.isNull())
        return;
    const QRectF target((width() - size_) / 2.0, (height() - size_) / 2.0, size_, size_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
}
