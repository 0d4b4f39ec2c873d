#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class BackButton;

// What the application is and which version runs; no adjustable settings.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    SettingsView(std::function<void()> onBack, const QString &version, QWidget *parent = nullptr);

    BackButton *backButton() const { return back_; }

private:
    BackButton *back_;
};
