#pragma once

#include <QRectF>

class QPainter;
class QWidget;

// True while `widget` has the focus and it got there by the keyboard, so a
// mouse click never leaves a ring behind.
bool showsFocusRing(const QWidget *widget);

// An accent ring just inside `bounds`.
void paintFocusRing(QPainter &painter, const QRectF &bounds, qreal cornerRadius);
