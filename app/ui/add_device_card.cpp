#include "app/ui/add_device_card.h"

#include "app/ui/dm_sans.h"
#include "app/ui/focus_ring.h"
#include "app/ui/palette.h"
#include "app/ui/ph_icon.h"
#include "app/ui/rounded_panel.h"
#include "app/ui/text_label.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

AddDeviceCard::AddDeviceCard(std::function<void()> action, QWidget *parent) : QAbstractButton(parent) {
    const QString title = QStringLiteral("Connect another device");
    setText(title);
    setAccessibleName(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(12);

    auto *circle = new RoundedPanel(Palette::hairline, std::nullopt, 0);
    circle->setFullyRounded(true);
    circle->setFixedSize(42, 42);
    auto *circleLayout = new QVBoxLayout(circle);
    circleLayout->setContentsMargins(0, 0, 0, 0);
    circleLayout->addWidget(new PhIcon(QStringLiteral("plus"), 18, Palette::textSecondary), 0, Qt::AlignCenter);
    row->addWidget(circle);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(makeLabel(title, dmSansFont(13.5, QFont::DemiBold), Palette::textPrimary));
    texts->addWidget(makeLabel(QStringLiteral("Mount multiple phones at the same time"), dmSansFont(11.5, QFont::Normal),
                               Palette::textSecondary));
    row->addLayout(texts);
    row->addStretch(1);
    row->addWidget(new PhIcon(QStringLiteral("caret-right"), 13, Palette::textSecondary));

    // The card is one button: its parts never take the clicks.
    for (QWidget *child : findChildren<QWidget *>())
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void AddDeviceCard::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(0.6);
    const QRectF bounds(rect());
    // Dashes are given in points; Qt's dash pattern counts in pen widths.
    QPen dashed(Palette::border, outlineWidth);
    dashed.setDashPattern({dashLength / outlineWidth, gapLength / outlineWidth});
    dashed.setCapStyle(Qt::FlatCap);
    painter.setPen(dashed);
    painter.setBrush(Qt::NoBrush);
    const qreal inset = outlineWidth / 2.0;
    painter.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), cornerRadius - inset, cornerRadius - inset);
    if (showsFocusRing(this))
        paintFocusRing(painter, bounds, cornerRadius);
}
