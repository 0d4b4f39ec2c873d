#include "app/ui/focus_ring.h"

#include "app/ui/palette.h"

#include <QPainter>
#include <QWidget>

bool showsFocusRing(const QWidget *widget) {
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void paintFocusRing(QPainter &painter, const QRectF &bounds, qreal cornerRadius) {
    painter.save();
    painter.setOpacity(1.0);
    painter.setPen(QPen(Palette::withOpacity(Palette::accent, 0.7), 1.5));
    painter.setBrush(Qt::NoBrush);
    const QRectF ring = bounds.adjusted(1, 1, -1, -1);
    painter.drawRoundedRect(ring, std::max(0.0, cornerRadius - 1), std::max(0.0, cornerRadius - 1));
    painter.restore();
}
