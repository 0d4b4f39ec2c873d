#pragma once

#include <QColor>
#include <QGraphicsEffect>
#include <QPointF>

// A blurred shadow under a widget, with an opacity for the whole group.
// Unlike a drop shadow followed by a translucent paint, the group opacity
// fades shadow and widget together, so no shadow shows through a faded fill.
class SoftShadowEffect : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit SoftShadowEffect(QObject *parent = nullptr);

    void setShadow(const QColor &color, qreal radius, QPointF offset);
    void setGroupOpacity(qreal opacity);

    QColor color() const { return color_; }
    qreal radius() const { return radius_; }
    QPointF offset() const { return offset_; }
    qreal groupOpacity() const { return groupOpacity_; }

    QRectF boundingRectFor(const QRectF &sourceRect) const override;

protected:
    void draw(QPainter *painter) override;

private:
    QColor color_ = Qt::transparent;
    qreal radius_ = 0;
    QPointF offset_;
    qreal groupOpacity_ = 1.0;
};

// The alpha of `image` spread by a Gaussian of standard deviation `sigma`
// pixels (three box passes), filled with `color`. The result is larger than
// the input by the blur's reach on every side; `reach` tells by how much.
QImage blurredShadow(const QImage &image, qreal sigma, const QColor &color, int *reach);
