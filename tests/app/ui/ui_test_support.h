#pragma once

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <QWidget>

// Loads the DM Sans files from the build tree's resource folder, once per
// test program, as the app entry does at start-up.
void registerBuildTreeFonts();

// The texts of every label under `root`, in the order they were laid out.
QStringList labelTexts(const QWidget &root);

// `widget` rendered on its own into an image of its size at `ratio`, on a
// background of `underlay`.
QImage renderWidget(QWidget &widget, qreal ratio = 1.0, QColor underlay = QColor(0x1C, 0x1C, 0x1C));

// Colour channels may differ by rounding and anti-aliasing only.
bool nearlyEqual(QColor actual, QColor expected, int tolerance = 3);

// `over` painted at `opacity` on top of `under`.
QColor blend(QColor over, QColor under, qreal opacity);

QString describe(QColor color);
