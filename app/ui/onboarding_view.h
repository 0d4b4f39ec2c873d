#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class StyledButton;

// One of the three first-run steps: a Phosphor icon, a title and a body.
struct OnboardingStep {
    QString iconName;
    QString title;
    QString body;
};

QList<OnboardingStep> onboardingSteps();

// The first-run page: the app icon, a welcome, three steps and "Get Started".
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingView(std::function<void()> onGetStarted, QWidget *parent = nullptr);

    StyledButton *getStartedButton() const { return getStarted_; }

private:
    StyledButton *getStarted_;
};
