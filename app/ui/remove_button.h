#pragma once

#include <QAbstractButton>

// The card's "Remove" control: a trash icon and the word in the danger
// colour on a faint danger-tinted panel. The whole panel takes the clicks.
class RemoveButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit RemoveButton(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
