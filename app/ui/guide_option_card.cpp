#include "app/ui/guide_option_card.h"

#include "app/ui/dm_sans.h"
#include "app/ui/focus_ring.h"
#include "app/ui/palette.h"
#include "app/ui/ph_icon.h"
#include "app/ui/rounded_panel.h"
#include "app/ui/text_label.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr qreal cornerRadius = 12;

} // namespace

GuideOptionCard::GuideOptionCard(const GuideOption &option, QWidget *parent)
    : QAbstractButton(parent), guide_(option.guide) {
    setText(option.title);
    setAccessibleName(option.title);
    setAccessibleDescription(option.caption);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(14);

    auto *tile = new RoundedPanel(Qt::transparent, Palette::borderStrong, 11);
    tile->setFixedSize(46, 46);
    auto *tileLayout = new QVBoxLayout(tile);
    tileLayout->setContentsMargins(0, 0, 0, 0);
    tileLayout->addWidget(new PhIcon(option.iconName, 23, Palette::textSoft), 0, Qt::AlignCenter);
    row->addWidget(tile);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(makeLabel(option.title, dmSansFont(14, QFont::DemiBold), Palette::textPrimary));
    texts->addWidget(makeLabel(option.caption, dmSansFont(12, QFont::Normal), Palette::textSecondary));
    row->addLayout(texts, 1);

    row->addWidget(new PhIcon(QStringLiteral("caret-right"), 15, Palette::textSecondary));

    // The card is one button: its parts never take the clicks.
    for (QWidget *child : findChildren<QWidget *>())
        child->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(Palette::withOpacity(Qt::black, 0.25));
    shadow->setBlurRadius(16);
    shadow->setOffset(0, 4);
    setGraphicsEffect(shadow);
}

void GuideOptionCard::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(isDown() ? Palette::surfaceRaised : Palette::surface);
    painter.drawRoundedRect(bounds, cornerRadius, cornerRadius);
    const bool highlighted = underMouse() || showsFocusRing(this);
    painter.setPen(QPen(highlighted ? Palette::borderHover : Palette::border, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
}
