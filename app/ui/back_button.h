#pragma once

#include <QAbstractButton>

// The "Back" control at the top left of a page: caret-left and the word.
class BackButton : public QAbstractButton {
    Q_OBJECT
public:
    // `padding` surrounds the label and is part of the clickable area.
    explicit BackButton(qreal padding, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal padding_;
};
