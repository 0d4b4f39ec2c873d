#include "app/ui/remove_button.h"

#include "app/ui/dm_sans.h"
#include "app/ui/focus_ring.h"
#include "app/ui/palette.h"
#include "app/ui/phosphor_icon.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

constexpr qreal trashIconSize = 13;
constexpr qreal iconTextGap = 6;
constexpr qreal horizontalPadding = 14;
constexpr qreal verticalPadding = 8;
constexpr qreal cornerRadius = 6;

QFont labelFont() {
    return dmSansFont(14, QFont::Medium);
}

} // namespace

RemoveButton::RemoveButton(QWidget *parent) : QAbstractButton(parent) {
    setText(QStringLiteral("Remove"));
    setToolTip(QStringLiteral("Remove this device from the list"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize RemoveButton::sizeHint() const {
    const QFontMetricsF metrics(labelFont());
    const qreal width = trashIconSize + iconTextGap + metrics.horizontalAdvance(text()) + 2 * horizontalPadding;
    const qreal height = std::max(trashIconSize, metrics.height()) + 2 * verticalPadding;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

QSize RemoveButton::minimumSizeHint() const {
    return sizeHint();
}

void RemoveButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A plain button dims while held down.
    if (isDown())
        painter.setOpacity(0.6);
    const QRectF bounds(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::withOpacity(Palette::danger, 0.12));
    painter.drawRoundedRect(bounds, cornerRadius, cornerRadius);
    painter.setPen(QPen(Palette::withOpacity(Palette::danger, 0.28), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    if (showsFocusRing(this))
        paintFocusRing(painter, bounds, cornerRadius);

    const QFont font = labelFont();
    const qreal textWidth = QFontMetricsF(font).horizontalAdvance(text());
    qreal x = bounds.center().x() - (trashIconSize + iconTextGap + textWidth) / 2.0;
    const QPixmap icon = phosphorPixmap(QStringLiteral("trash"), trashIconSize, Palette::danger, devicePixelRatioOf(painter));
    painter.drawPixmap(QRectF(x, bounds.center().y() - trashIconSize / 2.0, trashIconSize, trashIconSize), icon, QRectF(icon.rect()));
    x += trashIconSize + iconTextGap;
    painter.setFont(font);
    painter.setPen(Palette::danger);
    painter.drawText(QRectF(x, bounds.top(), textWidth + 1, bounds.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}
