#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Phosphor icons (regular weight) compiled into the program, by icon name
// ("gear-six", "caret-left", ...).

bool phosphorIconExists(const QString &iconName);

// The icon in a square of `size` device-independent pixels, tinted with
// `color` (its alpha included), rasterised at `devicePixelRatio` so it stays
// crisp on high-DPI screens. A null pixmap for an unknown name.
QPixmap phosphorPixmap(const QString &iconName, qreal size, const QColor &color, qreal devicePixelRatio);

class QPainter;

// The pixel ratio `painter` really draws at, for rasterising at full sharpness.
qreal devicePixelRatioOf(const QPainter &painter);

// A QIcon for buttons and menus that renders the tinted icon at whatever size
// and pixel ratio it is asked for.
QIcon phosphorIcon(const QString &iconName, const QColor &color);
