#include "app/ui/content_view.h"

#include "app/mount/mount_service.h"
#include "app/state/app_view_model.h"
#include "app/ui/connect_guide_view.h"
#include "app/ui/dark_palette.h"
#include "app/ui/device_screen.h"
#include "app/ui/onboarding_view.h"
#include "app/ui/pairing_view.h"
#include "app/ui/page_background.h"
#include "app/ui/settings_view.h"
#include "app/ui/window_configurator.h"

#include <QSettings>
#include <QVBoxLayout>

namespace {

// The one value the app keeps between launches, in the user's settings.
QSettings userSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Dorvane"), QStringLiteral("Dorvane"));
}

} // namespace

ContentView::ContentView(QWidget *parent)
    : ContentView(std::make_unique<AppViewModel>(), std::make_unique<MountService>(), parent) {}

ContentView::ContentView(std::unique_ptr<AppViewModel> model, std::unique_ptr<MountService> mount, QWidget *parent)
    : QWidget(parent), model_(std::move(model)), mount_(std::move(mount)), layout_(new QVBoxLayout(this)),
      configurator_(new WindowConfigurator(this)) {
    setPalette(darkPalette());
    fillWithPageBackground(this);
    setMinimumSize(minimumContentSize);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    showChosenPage();
}

ContentView::~ContentView() {
    // The pages hold on to the model and the mount service, so they go
    // first, also those still waiting for their deferred deletion.
    current_ = nullptr;
    qDeleteAll(findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
}

QSize ContentView::sizeHint() const {
    return idealContentSize;
}

QSize ContentView::minimumSizeHint() const {
    return minimumContentSize;
}

void ContentView::setShowConnectGuide(bool show) {
    showConnectGuide_ = show;
    showChosenPage();
}

void ContentView::setShowSettings(bool show) {
    showSettings_ = show;
    showChosenPage();
}

bool ContentView::hasCompletedOnboarding() const {
    return userSettings().value(onboardingKey, false).toBool();
}

void ContentView::setHasCompletedOnboarding(bool completed) {
    QSettings settings = userSettings();
    settings.setValue(onboardingKey, completed);
    // Stored at once, so a crash right after still starts on the device screen.
    settings.sync();
    showChosenPage();
}

ContentView::Page ContentView::chosenPage() const {
    if (showSettings_)
        return Page::settings;
    if (showConnectGuide_)
        return Page::connectGuide;
    if (!hasCompletedOnboarding())
        return Page::onboarding;
    return Page::deviceScreen;
}

void ContentView::showChosenPage() {
    const Page wanted = chosenPage();
    if (current_ && wanted == page_)
        return;
    if (current_) {
        // Hidden now (which stops the device screen's loop); deleted once the
        // event loop is back, since the click that led here may be its own.
        layout_->removeWidget(current_);
        current_->hide();
        current_->deleteLater();
    }
    page_ = wanted;
    current_ = makePage(wanted);
    layout_->addWidget(current_);
    current_->show();
    emit pageChanged(page_);
}

QWidget *ContentView::makePage(Page page) {
    switch (page) {
    case Page::settings:
        return new SettingsView([this] { setShowSettings(false); }, versionText, this);
    case Page::connectGuide:
        return new ConnectGuideView(
            [this] { setShowConnectGuide(false); }, [this] { return new PairingView(model_->pairing()); }, this);
    case Page::onboarding:
        return new OnboardingView([this] { setHasCompletedOnboarding(true); }, this);
    case Page::deviceScreen:
        break;
    }
    return new DeviceScreen(
        *model_, *mount_, [this] { setShowConnectGuide(true); }, [this] { setShowSettings(true); }, this);
}
