#pragma once

#include "app/ui/rounded_panel.h"

#include <QColor>
#include <QLabel>
#include <QWidget>

// Small pieces of the device card.

// The "ADB" / "Wi-Fi" capsule.
class ConnectionBadge : public RoundedPanel {
    Q_OBJECT
public:
    explicit ConnectionBadge(const QString &text, QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

private:
    QLabel *label_;
};

// A filled circle in one colour.
class StatusDot : public QWidget {
    Q_OBJECT
public:
    explicit StatusDot(qreal diameter, QWidget *parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal diameter_;
    QColor color_;
};

// A one-point line across the card.
class Divider : public QWidget {
    Q_OBJECT
public:
    explicit Divider(const QColor &color, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color_;
};

// A single-line label that cuts a text too long for its width short with an
// ellipsis. text() keeps the whole text.
class ElidingLabel : public QLabel {
    Q_OBJECT
public:
    ElidingLabel(const QString &text, const QFont &font, const QColor &color, QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;
    // The text as drawn at the current width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
