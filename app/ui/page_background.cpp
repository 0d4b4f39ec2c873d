#include "app/ui/page_background.h"

#include "app/ui/palette.h"

#include <QPalette>
#include <QWidget>

void fillWithPageBackground(QWidget *page) {
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, Palette::background);
    palette.setColor(QPalette::Base, Palette::background);
    page->setPalette(palette);
    page->setAutoFillBackground(true);
}
