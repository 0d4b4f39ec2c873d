#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// A Phosphor icon drawn in a square of `size` points, tinted with `color`.
class PhIcon : public QWidget {
    Q_OBJECT
public:
    PhIcon(const QString &iconName, qreal size, const QColor &color, QWidget *parent = nullptr);

    QString iconName() const { return iconName_; }
    qreal iconSize() const { return size_; }
    QColor color() const { return color_; }

    void setIconName(const QString &iconName);
    void setColor(const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString iconName_;
    qreal size_;
    QColor color_;
};
