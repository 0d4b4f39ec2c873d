#include "app/ui/guide_step_row.h"

#include "app/ui/dm_sans.h"
#include "app/ui/palette.h"
#include "app/ui/text_label.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

StepBadge::StepBadge(int number, QWidget *parent) : QWidget(parent), number_(number) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(30, 30);
    setAccessibleName(QString::number(number));
}

void StepBadge::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(Palette::withOpacity(Palette::accent, 0.35), 1.0));
    painter.setBrush(Palette::withOpacity(Palette::accent, 0.14));
    painter.drawEllipse(circle);
    painter.setFont(dmSansFont(13, QFont::Bold));
    painter.setPen(Palette::accent);
    painter.drawText(QRectF(rect()), Qt::AlignCenter, QString::number(number_));
}

GuideStepRow::GuideStepRow(int number, const GuideStep &step, QWidget *parent) : QWidget(parent) {
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    row->addWidget(new StepBadge(number), 0, Qt::AlignTop);

    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(0, 5, 0, 0);
    texts->setSpacing(2);
    texts->addWidget(makeWrappingLabel(step.title, dmSansFont(14, QFont::DemiBold), Palette::textPrimary));
    texts->addWidget(makeWrappingLabel(step.body, dmSansFont(13, QFont::Normal), Palette::textSecondary));
    row->addLayout(texts, 1);
}
