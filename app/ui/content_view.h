#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class AppViewModel;
class MountService;
class QVBoxLayout;
class WindowConfigurator;

// The main window's content: one page at a time (settings, the connection
// guide, the first-run onboarding, or the device screen), always dark. It
// makes the window's view model and mount service and keeps them for its
// life; only the onboarding flag outlives it, in the user's settings.
class ContentView : public QWidget {
    Q_OBJECT
public:
    enum class Page { settings, connectGuide, onboarding, deviceScreen };

    // With a new view model and mount service.
    explicit ContentView(QWidget *parent = nullptr);
    ContentView(std::unique_ptr<AppViewModel> model, std::unique_ptr<MountService> mount, QWidget *parent = nullptr);
    ~ContentView() override;

    AppViewModel &model() const { return *model_; }
    MountService &mount() const { return *mount_; }

    Page page() const { return page_; }
    QWidget *currentPage() const { return current_; }

    bool showConnectGuide() const { return showConnectGuide_; }
    void setShowConnectGuide(bool show);
    bool showSettings() const { return showSettings_; }
    void setShowSettings(bool show);
    bool hasCompletedOnboarding() const;
    void setHasCompletedOnboarding(bool completed);

    WindowConfigurator *configurator() const { return configurator_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static inline const QString onboardingKey = QStringLiteral("hasCompletedOnboarding");
    static inline const QString versionText = QStringLiteral("Version 0.0.1");
    static constexpr QSize minimumContentSize{480, 540};
    static constexpr QSize idealContentSize{560, 660};

signals:
    void pageChanged(ContentView::Page page);

private:
    Page chosenPage() const;
    void showChosenPage();
    QWidget *makePage(Page page);

    std::unique_ptr<AppViewModel> model_;
    std::unique_ptr<MountService> mount_;
    bool showConnectGuide_ = false;
    bool showSettings_ = false;
    Page page_ = Page::onboarding;
    QWidget *current_ = nullptr;
    QVBoxLayout *layout_;
    WindowConfigurator *configurator_;
};
