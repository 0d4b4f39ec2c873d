#include "app/ui/busy_indicator.h"

#include "app/ui/palette.h"

#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace {

constexpr int spokes = 8;

} // namespace

BusyIndicator::BusyIndicator(qreal diameter, const QColor &color, QWidget *parent)
    : QWidget(parent), diameter_(diameter), color_(color), turning_(new QVariantAnimation(this)) {
    setFixedSize(sizeHint());
    setAccessibleName(QStringLiteral("In progress"));
    turning_->setStartValue(0.0);
    turning_->setEndValue(360.0);
    turning_->setDuration(turnMs);
    turning_->setLoopCount(-1);
    connect(turning_, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        // Steps from spoke to spoke, as a native small spinner does.
        const qreal step = 360.0 / spokes;
        angle_ = std::floor(value.toReal() / step) * step;
        update();
    });
}

bool BusyIndicator::isSpinning() const {
    return turning_->state() == QAbstractAnimation::Running;
}

QSize BusyIndicator::sizeHint() const {
    const int side = static_cast<int>(std::ceil(diameter_));
    return {side, side};
}

void BusyIndicator::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(angle_);
    const qreal outer = diameter_ / 2.0;
    const qreal inner = outer * 0.45;
    const qreal thickness = std::max(1.5, diameter_ / 9.0);
    for (int spoke = 0; spoke < spokes; ++spoke) {
        // The leading spoke is solid, the ones behind it fade out.
        const qreal fade = 1.0 - static_cast<qreal>(spoke) / spokes;
        QPen pen(Palette::withOpacity(color_, 0.25 + 0.75 * fade), thickness, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer + thickness / 2.0));
        painter.rotate(-360.0 / spokes);
    }
}

void BusyIndicator::showEvent(QShowEvent *event) {
    turning_->start();
    QWidget::showEvent(event);
}

void BusyIndicator::hideEvent(QHideEvent *event) {
    turning_->stop();
    QWidget::hideEvent(event);
}
