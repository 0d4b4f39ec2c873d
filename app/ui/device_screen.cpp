#include "app/ui/device_screen.h"

#include "app/mount/mount_service.h"
#include "app/state/app_view_model.h"
#include "app/ui/add_device_card.h"
#include "app/ui/circle_icon_button.h"
#include "app/ui/connect_guide_view.h"
#include "app/ui/pairing_view.h"
#include "app/ui/device_card.h"
#include "app/ui/page_background.h"
#include "app/ui/scroll_column.h"

#include <QHash>
#include <QPointer>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

DeviceScreen::DeviceScreen(AppViewModel &model, MountService &mount, std::function<void()> onAddDevice,
                           std::function<void()> onSettings, QWidget *parent)
    : QWidget(parent), model_(model), mount_(mount), pages_(new QStackedLayout(this)),
      emptyState_(new ConnectGuideView({}, [&model] { return new PairingView(model.pairing()); })),
      column_(new QWidget), columnLayout_(new QVBoxLayout(column_)),
      addCard_(new AddDeviceCard(std::move(onAddDevice))),
      settings_(new CircleIconButton(QStringLiteral("gear-six"), QStringLiteral("Settings"), std::move(onSettings), this)),
      pollTimer_(new QTimer(this)) {
    fillWithPageBackground(this);

    columnLayout_->setContentsMargins(22, 62, 22, 24);
    columnLayout_->setSpacing(14);
    columnLayout_->addWidget(addCard_);
    columnLayout_->addStretch(1);
    list_ = makeScrollArea(column_);

    pages_->addWidget(emptyState_);
    pages_->addWidget(list_);

    pollTimer_->setSingleShot(true);
    pollTimer_->setTimerType(Qt::PreciseTimer);
    pollTimer_->setInterval(pollInterval);
    connect(pollTimer_, &QTimer::timeout, this, [this] { pollOnce(generation_); });

    connect(&model_, &AppViewModel::devicesChanged, this, &DeviceScreen::syncCards);
    // A card of a phone that left stays while its mount does.
    connect(&mount_, &MountService::mountChanged, this, &DeviceScreen::syncCards);
    connect(&mount_, &MountService::mountsCleared, this, &DeviceScreen::syncCards);
    syncCards();
    placeSettingsButton();
}

DeviceCard *DeviceScreen::cardFor(const QString &serial) const {
    for (DeviceCard *card : cards_) {
        if (card->device().serial == serial)
            return card;
    }
    return nullptr;
}

bool DeviceScreen::showsEmptyState() const {
    return pages_->currentWidget() == emptyState_;
}

void DeviceScreen::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    // A window coming back from the task bar is no new appearance.
    if (!event->spontaneous())
        start();
}

void DeviceScreen::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        stop();
}

void DeviceScreen::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    placeSettingsButton();
}

void DeviceScreen::start() {
    if (running_)
        return;
    running_ = true;
    run(++generation_);
}

void DeviceScreen::stop() {
    running_ = false;
    ++generation_;
    pollTimer_->stop();
}

QCoro::Task<> DeviceScreen::run(unsigned generation) {
    const QPointer<DeviceScreen> self(this);
    // The model and the mount service outlive the screen, but not
    // necessarily a stopped screen's task: only a live, current screen
    // touches them again after a wait.
    co_await mount_.removeAllDomains();
    if (!self || !current(generation))
        co_return;
    co_await model_.refresh();
    if (!self || !current(generation))
        co_return;
    pollTimer_->start();
}

QCoro::Task<> DeviceScreen::pollOnce(unsigned generation) {
    const QPointer<DeviceScreen> self(this);
    if (!current(generation))
        co_return;
    mount_.dropLostMounts();
    co_await model_.poll();
    if (self && current(generation))
        pollTimer_->start();
}

void DeviceScreen::syncCards() {
    const QList<AndroidDevice> &devices = model_.devices();
    QHash<QString, DeviceCard *> existing;
    for (DeviceCard *card : cards_)
        existing.insert(card->device().serial, card);

    QList<DeviceCard *> ordered;
    for (const AndroidDevice &device : devices) {
        DeviceCard *card = existing.take(device.serial);
        if (card)
            card->setDevice(device);
        else
            card = new DeviceCard(device, model_, mount_, column_);
        ordered.append(card);
    }
    // A phone that left while mounted keeps its mount (reads fail until it
    // is back) and so its card, where it can be shown or unmounted.
    for (auto kept = existing.begin(); kept != existing.end();) {
        const MountState state = mount_.mountOf(kept.key()).state;
        if (state == MountState::mounted || state == MountState::unmounting) {
            AndroidDevice gone = kept.value()->device();
            gone.state = AndroidDevice::State::offline;
            kept.value()->setDevice(gone);
            ordered.append(kept.value());
            kept = existing.erase(kept);
        } else {
            ++kept;
        }
    }
    // A card may be the sender of the click that removed its phone, so it
    // goes once the event loop is back.
    for (DeviceCard *gone : std::as_const(existing)) {
        columnLayout_->removeWidget(gone);
        gone->hide();
        gone->deleteLater();
    }
    for (DeviceCard *card : std::as_const(ordered))
        columnLayout_->removeWidget(card);
    for (qsizetype index = 0; index < ordered.size(); ++index) {
        columnLayout_->insertWidget(static_cast<int>(index), ordered[index]);
        ordered[index]->show();
    }
    cards_ = ordered;

    const bool empty = cards_.isEmpty();
    if (empty && !showsEmptyState())
        emptyState_->setGuide(std::nullopt);
    pages_->setCurrentWidget(empty ? static_cast<QWidget *>(emptyState_) : list_);
    settings_->raise();
}

void DeviceScreen::placeSettingsButton() {
    settings_->move(width() - 16 - settings_->width(), 14);
    settings_->raise();
}
