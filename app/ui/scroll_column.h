#pragma once

#include <QWidget>

class QBoxLayout;
class QScrollArea;

// A horizontal row that centres `content` and lets it grow no wider than
// `maxWidth`.
QBoxLayout *centeredColumn(QWidget *content, int maxWidth);

// A frameless, transparent vertical scroll area around `content`, with a
// slim dark scroll bar.
QScrollArea *makeScrollArea(QWidget *content, QWidget *parent = nullptr);
