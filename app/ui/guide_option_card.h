#pragma once

#include "app/ui/guide_content.h"

#include <QAbstractButton>

// One choice on the guide's chooser: icon tile, title over caption, caret.
class GuideOptionCard : public QAbstractButton {
    Q_OBJECT
public:
    explicit GuideOptionCard(const GuideOption &option, QWidget *parent = nullptr);

    std::optional<Guide> guide() const { return guide_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<Guide> guide_;
};
