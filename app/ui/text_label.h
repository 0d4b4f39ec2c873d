#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

// A transparent label in one font and colour. Wrapping labels grow in height
// to fit their width.
QLabel *makeLabel(const QString &text, const QFont &font, const QColor &color, QWidget *parent = nullptr);
QLabel *makeWrappingLabel(const QString &text, const QFont &font, const QColor &color, QWidget *parent = nullptr);
