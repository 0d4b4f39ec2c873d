#pragma once

#include <QAbstractButton>
#include <QString>

#include <functional>

// A round button holding one icon, with its help text as tooltip.
class CircleIconButton : public QAbstractButton {
    Q_OBJECT
public:
    CircleIconButton(const QString &iconName, const QString &help, std::function<void()> action,
                     QWidget *parent = nullptr);

    QString iconName() const { return iconName_; }

    QSize sizeHint() const override;

    static constexpr qreal iconSize = 16;
    static constexpr qreal padding = 9;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString iconName_;
};
