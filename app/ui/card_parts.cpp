#include "app/ui/card_parts.h"

#include "app/ui/dm_sans.h"
#include "app/ui/palette.h"
#include "app/ui/text_label.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

ConnectionBadge::ConnectionBadge(const QString &text, QWidget *parent)
    : RoundedPanel(Palette::borderStrong, Palette::border, 0, parent),
      label_(makeLabel(text, dmSansFont(9, QFont::Bold), Palette::textSoft)) {
    setFullyRounded(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(0);
    row->addWidget(label_);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString ConnectionBadge::text() const {
    return label_->text();
}

void ConnectionBadge::setText(const QString &text) {
    label_->setText(text);
}

StatusDot::StatusDot(qreal diameter, QWidget *parent) : QWidget(parent), diameter_(diameter) {
    setFixedSize(sizeHint());
}

void StatusDot::setColor(const QColor &color) {
    if (color == color_)
        return;
    color_ = color;
    update();
}

QSize StatusDot::sizeHint() const {
    const int side = static_cast<int>(std::ceil(diameter_));
    return {side, side};
}

void StatusDot::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    painter.drawEllipse(QRectF(0, 0, diameter_, diameter_));
}

Divider::Divider(const QColor &color, QWidget *parent) : QWidget(parent), color_(color) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), color_);
}

ElidingLabel::ElidingLabel(const QString &text, const QFont &font, const QColor &color, QWidget *parent)
    : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setFont(font);
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, color);
    setPalette(colors);
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize ElidingLabel::minimumSizeHint() const {
    // Room for the ellipsis alone, so the layout may squeeze it that far.
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("\u2026")), metrics.height()};
}

QString ElidingLabel::shownText() const {
    return QFontMetrics(font()).elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void ElidingLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, shownText());
}
