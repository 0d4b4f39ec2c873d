#pragma once

#include <QString>

class QVBoxLayout;
class QWidget;

// Lays out `page` as a page of the connection guide: a scrolling column at
// most 400 points wide, opened by the title over the subtitle. The caller adds
// the rest to the returned column.
QVBoxLayout *layOutGuidePage(QWidget *page, const QString &title, const QString &subtitle);
