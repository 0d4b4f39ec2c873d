#pragma once

#include <QWidget>

// An invisible helper placed in the window content. Once it sits in a
// window, and again whenever it is shown or moved to another window, it
// gives that window the dark look: the page background under everything
// and the dark palette for the widgets and popups Qt draws itself. The
// step runs from the event loop and is dropped if the helper is gone by then.
class WindowConfigurator : public QWidget {
    Q_OBJECT
public:
    explicit WindowConfigurator(QWidget *parent = nullptr);

    // How many times a window was configured (for tests).
    int configuredCount() const { return configured_; }

protected:
    bool event(QEvent *event) override;

private:
    void scheduleStep();
    void step();

    bool scheduled_ = false;
    int configured_ = 0;
};
