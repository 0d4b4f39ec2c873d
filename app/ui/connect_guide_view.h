#pragma once

#include "app/ui/guide_content.h"

#include <QWidget>

#include <functional>
#include <optional>

class BackButton;
class QStackedLayout;

// Teaches how to make a phone visible: a chooser between the USB and the
// Wi-Fi guide, then the chosen guide's numbered steps. Without `onClose`
// (the empty device screen) the chooser has no way back. With
// `makePairingPage` the chooser also offers pairing with a code, whose page
// it makes each time it is chosen.
class ConnectGuideView : public QWidget {
    Q_OBJECT
public:
    explicit ConnectGuideView(std::function<void()> onClose = {}, std::function<QWidget *()> makePairingPage = {},
                              QWidget *parent = nullptr);

    std::optional<Guide> guide() const { return guide_; }
    // Also leaves the pairing page.
    void setGuide(std::optional<Guide> guide);
    bool showsPairing() const { return showsPairing_; }
    void showPairing();
    // The steps or the pairing page while one is shown.
    QWidget *detailPage() const { return steps_; }

    BackButton *backButton() const { return back_; }

private:
    void goBack();
    QWidget *makeChooser();
    QWidget *makeSteps(Guide guide);

    void showDetail(QWidget *page);

    std::function<void()> onClose_;
    std::function<QWidget *()> makePairingPage_;
    std::optional<Guide> guide_;
    bool showsPairing_ = false;
    BackButton *back_;
    QStackedLayout *pages_;
    QWidget *chooser_;
    QWidget *steps_ = nullptr;
};
