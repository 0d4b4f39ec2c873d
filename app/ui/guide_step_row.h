#pragma once

#include "app/ui/guide_content.h"

#include <QWidget>

// The round badge holding a step's number.
class StepBadge : public QWidget {
    Q_OBJECT
public:
    explicit StepBadge(int number, QWidget *parent = nullptr);

    int number() const { return number_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int number_;
};

// One numbered step of a guide: badge, then title over body.
class GuideStepRow : public QWidget {
    Q_OBJECT
public:
    GuideStepRow(int number, const GuideStep &step, QWidget *parent = nullptr);
};
