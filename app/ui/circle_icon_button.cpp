#include "app/ui/circle_icon_button.h"

#include "app/ui/focus_ring.h"
#include "app/ui/palette.h"
#include "app/ui/phosphor_icon.h"

#include <QPainter>

#include <cmath>

CircleIconButton::CircleIconButton(const QString &iconName, const QString &help, std::function<void()> action,
                                   QWidget *parent)
    : QAbstractButton(parent), iconName_(iconName) {
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

QSize CircleIconButton::sizeHint() const {
    const int side = static_cast<int>(std::ceil(iconSize + 2 * padding));
    return {side, side};
}

void CircleIconButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A plain button dims while held down.
    if (isDown())
        painter.setOpacity(0.6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::hairline);
    painter.drawEllipse(QRectF(rect()));
    if (showsFocusRing(this))
        paintFocusRing(painter, QRectF(rect()), width() / 2.0);
    const QPixmap icon = phosphorPixmap(iconName_, iconSize, Palette::textSecondary, devicePixelRatioOf(painter));
    const QRectF target((width() - iconSize) / 2.0, (height() - iconSize) / 2.0, iconSize, iconSize);
    painter.drawPixmap(target, icon, QRectF(icon.rect()));
}
