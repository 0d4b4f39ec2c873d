#include "app/ui/guide_page.h"

#include "app/ui/dm_sans.h"
#include "app/ui/palette.h"
#include "app/ui/scroll_column.h"
#include "app/ui/text_label.h"

#include <QScrollArea>
#include <QVBoxLayout>

QVBoxLayout *layOutGuidePage(QWidget *page, const QString &title, const QString &subtitle) {
    auto *pageColumn = new QVBoxLayout(page);
    pageColumn->setContentsMargins(0, 0, 0, 0);
    pageColumn->setSpacing(0);

    auto *body = new QWidget;
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(0, 6, 0, 24);
    column->setSpacing(0);
    column->addWidget(makeWrappingLabel(title, dmSansFont(20, QFont::Bold, -0.2), Palette::textPrimary));
    column->addSpacing(5);
    column->addWidget(makeWrappingLabel(subtitle, dmSansFont(13, QFont::Normal), Palette::textSecondary));

    auto *scrolled = new QWidget;
    auto *scrolledLayout = new QVBoxLayout(scrolled);
    scrolledLayout->setContentsMargins(24, 0, 24, 0);
    scrolledLayout->addLayout(centeredColumn(body, 400));
    pageColumn->addWidget(makeScrollArea(scrolled), 1);
    return column;
}
