#include "app/ui/back_button.h"

#include "app/ui/dm_sans.h"
#include "app/ui/focus_ring.h"
#include "app/ui/palette.h"
#include "app/ui/phosphor_icon.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

constexpr qreal caretSize = 14;
constexpr qreal caretGap = 4;

QFont backFont() {
    return dmSansFont(13, QFont::Medium);
}

} // namespace

BackButton::BackButton(qreal padding, QWidget *parent) : QAbstractButton(parent), padding_(padding) {
    setText(QStringLiteral("Back"));
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
}

QSize BackButton::sizeHint() const {
    const QFontMetricsF metrics(backFont());
    const qreal width = caretSize + caretGap + metrics.horizontalAdvance(text()) + 2 * padding_;
    const qreal height = std::max(caretSize, metrics.height()) + 2 * padding_;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void BackButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = isDown() ? Palette::textPrimary : (underMouse() ? Palette::textPrimary : Palette::textSecondary);
    const qreal ratio = devicePixelRatioOf(painter);
    const QPixmap caret = phosphorPixmap(QStringLiteral("caret-left"), caretSize, color, ratio);
    const qreal centreY = height() / 2.0;
    painter.drawPixmap(QRectF(padding_, centreY - caretSize / 2.0, caretSize, caretSize), caret, QRectF(caret.rect()));
    painter.setFont(backFont());
    painter.setPen(color);
    const qreal textX = padding_ + caretSize + caretGap;
    painter.drawText(QRectF(textX, 0, width() - textX, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (showsFocusRing(this))
        paintFocusRing(painter, QRectF(rect()).adjusted(padding_ / 2, padding_ / 2, -padding_ / 2, -padding_ / 2), 6);
}
