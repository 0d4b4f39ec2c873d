#pragma once

#include <QColor>
#include <QWidget>

class QVariantAnimation;

// A small spinning progress indicator. It turns only while it is visible.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(qreal diameter, const QColor &color, QWidget *parent = nullptr);

    bool isSpinning() const;

    QSize sizeHint() const override;

    static constexpr int turnMs = 900;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    qreal diameter_;
    QColor color_;
    qreal angle_ = 0;
    QVariantAnimation *turning_;
};
