#pragma once

#include "app/ui/guide_content.h"

#include <QWidget>

#include <functional>
#include <optional>

class BackButton;
class QStackedLayout;

// Teaches how to make a phone visible: a chooser between the USB and the
// Wi-Fi guide, then the chosen guide's numbered steps. Without `onClose`
// (the empty device screen) the chooser has no way back.
class ConnectGuideView : public QWidget {
    Q_OBJECT
public:
    explicit ConnectGuideView(std::function<void()> onClose = {}, QWidget *parent = nullptr);

    std::optional<Guide> guide() const { return guide_; }
    void setGuide(std::optional<Guide> guide);

    BackButton *backButton() const { return back_; }

private:
    void goBack();
    QWidget *makeChooser();
    QWidget *makeSteps(Guide guide);

    std::function<void()> onClose_;
    std::optional<Guide> guide_;
    BackButton *back_;
    QStackedLayout *pages_;
    QWidget *chooser_;
    QWidget *steps_ = nullptr;
};
