#include "app/ui/rounded_panel.h"

#include <QPainter>
#include <QPainterPath>

RoundedPanel::RoundedPanel(QColor fill, std::optional<QColor> stroke, qreal cornerRadius, QWidget *parent,
                           qreal strokeWidth)
    : QWidget(parent), fill_(fill), stroke_(stroke), cornerRadius_(cornerRadius), strokeWidth_(strokeWidth) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void RoundedPanel::setFullyRounded(bool fullyRounded) {
    fullyRounded_ = fullyRounded;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const qreal radius = fullyRounded_ ? std::min(bounds.width(), bounds.height()) / 2.0 : cornerRadius_;
    QPainterPath shape;
    shape.addRoundedRect(bounds, radius, radius);
    painter.fillPath(shape, fill_);
    if (stroke_) {
        const qreal inset = strokeWidth_ / 2.0;
        painter.setPen(QPen(*stroke_, strokeWidth_));
        painter.setBrush(Qt::NoBrush);
        const qreal innerRadius = std::max(0.0, radius - inset);
        painter.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), innerRadius, innerRadius);
    }
}
