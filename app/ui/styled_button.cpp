#include "app/ui/styled_button.h"

#include "app/ui/focus_ring.h"
#include "app/ui/palette.h"
#include "app/ui/phosphor_icon.h"
#include "app/ui/soft_shadow_effect.h"

#include <QEasingCurve>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <cmath>

namespace {

constexpr qreal iconTextGap = 6;

// The ease-out timing curve (0, 0, 0.58, 1).
QEasingCurve easeOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.0, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

} // namespace

StyledButton::StyledButton(const QString &text, std::shared_ptr<const ButtonStyle> style, QWidget *parent)
    : QAbstractButton(parent), style_(std::move(style)), hoverAnimation_(new QVariantAnimation(this)),
      shadow_(new SoftShadowEffect(this)) {
    setText(text);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    hoverAnimation_->setDuration(hoverAnimationMs);
    hoverAnimation_->setEasingCurve(easeOut());
    connect(hoverAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        hoverProgress_ = value.toReal();
        applyLook();
    });
    connect(this, &QAbstractButton::pressed, this, &StyledButton::applyLook);
    connect(this, &QAbstractButton::released, this, &StyledButton::applyLook);
    setGraphicsEffect(shadow_);
    updateCursor();
    applyLook();
}

void StyledButton::setLeadingIcon(const QString &iconName, qreal size) {
    iconName_ = iconName;
    iconSize_ = size;
    updateGeometry();
    update();
}

ButtonState StyledButton::buttonState() const {
    return ButtonState{isEnabled(), isDown(), hoverProgress_};
}

ButtonLook StyledButton::currentLook() const {
    return style_->look(buttonState());
}

QSize StyledButton::sizeHint() const {
    const ButtonLook look = currentLook();
    const QFontMetricsF metrics(look.font);
    qreal width = metrics.horizontalAdvance(text());
    qreal height = metrics.height();
    if (!iconName_.isEmpty()) {
        width += iconSize_ + (text().isEmpty() ? 0 : iconTextGap);
        height = std::max(height, iconSize_);
    }
    width += look.padding.left() + look.padding.right();
    height += look.padding.top() + look.padding.bottom();
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

QSize StyledButton::minimumSizeHint() const {
    return sizeHint();
}

void StyledButton::paintEvent(QPaintEvent *) {
    const ButtonLook look = currentLook();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF bounds = QRectF(rect());
    QPainterPath shape;
    shape.addRoundedRect(bounds, look.cornerRadius, look.cornerRadius);
    painter.fillPath(shape, look.fill);
    if (look.stroke) {
        // Inside the edge, as a one-point border drawn with strokeBorder.
        painter.setPen(QPen(*look.stroke, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), look.cornerRadius - 0.5, look.cornerRadius - 0.5);
    }
    if (showsFocusRing(this))
        paintFocusRing(painter, bounds, look.cornerRadius);

    const QFontMetricsF metrics(look.font);
    const qreal textWidth = metrics.horizontalAdvance(text());
    const bool hasIcon = !iconName_.isEmpty();
    const qreal contentWidth = textWidth + (hasIcon ? iconSize_ + (text().isEmpty() ? 0 : iconTextGap) : 0);
    qreal x = bounds.center().x() - contentWidth / 2.0;
    if (hasIcon) {
        const QPixmap icon = phosphorPixmap(iconName_, iconSize_, look.content, devicePixelRatioOf(painter));
        const QRectF iconRect(x, bounds.center().y() - iconSize_ / 2.0, iconSize_, iconSize_);
        painter.drawPixmap(iconRect, icon, QRectF(icon.rect()));
        x += iconSize_ + iconTextGap;
    }
    painter.setFont(look.font);
    painter.setPen(look.content);
    painter.drawText(QRectF(x, bounds.top(), textWidth + 1, bounds.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

void StyledButton::enterEvent(QEnterEvent *event) {
    hovered_ = true;
    animateHoverTo(1.0);
    QAbstractButton::enterEvent(event);
}

void StyledButton::leaveEvent(QEvent *event) {
    hovered_ = false;
    animateHoverTo(0.0);
    QAbstractButton::leaveEvent(event);
}

void StyledButton::changeEvent(QEvent *event) {
    if (event->type() == QEvent::EnabledChange) {
        updateCursor();
        applyLook();
    }
    QAbstractButton::changeEvent(event);
}

void StyledButton::animateHoverTo(qreal target) {
    hoverAnimation_->stop();
    if (qFuzzyCompare(hoverProgress_ + 1.0, target + 1.0))
        return;
    hoverAnimation_->setStartValue(hoverProgress_);
    hoverAnimation_->setEndValue(target);
    hoverAnimation_->start();
}

void StyledButton::applyLook() {
    const ButtonLook look = currentLook();
    // The opacity fades label, fill and shadow as one.
    shadow_->setShadow(look.shadowColor, look.shadowRadius, look.shadowOffset);
    shadow_->setGroupOpacity(look.opacity);
    update();
}

void StyledButton::updateCursor() {
    setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

StyledButton *makePrimaryButton(const QString &text, QWidget *parent) {
    return new StyledButton(text, std::make_shared<PrimaryButtonStyle>(), parent);
}

StyledButton *makeSecondaryButton(const QString &text, QWidget *parent) {
    return new StyledButton(text, std::make_shared<SecondaryButtonStyle>(), parent);
}
