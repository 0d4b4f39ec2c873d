#include "app/ui/scroll_column.h"

#include "app/ui/page_background.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>

QBoxLayout *centeredColumn(QWidget *content, int maxWidth) {
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    content->setMaximumWidth(maxWidth);
    content->setSizePolicy(QSizePolicy::Expanding, content->sizePolicy().verticalPolicy());
    // The content takes all space up to its maximum; the stretches take the rest.
    row->addStretch(1);
    row->addWidget(content, 1000);
    row->addStretch(1);
    return row;
}

QScrollArea *makeScrollArea(QWidget *content, QWidget *parent) {
    auto *area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The area paints the page colour itself; its content paints nothing.
    fillWithPageBackground(area);
    fillWithPageBackground(area->viewport());
    content->setAutoFillBackground(false);
    area->setWidget(content);
    // Styled on the bar alone, so the sheet never reaches the content.
    area->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }"
        "QScrollBar::handle:vertical { background: rgba(255,255,255,0.16); border-radius: 3px; min-height: 24px; }"
        "QScrollBar::handle:vertical:hover { background: rgba(255,255,255,0.28); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    return area;
}
