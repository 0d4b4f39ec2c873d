#include "app/state/app_view_model.h"

#include "app/adb/adb_error.h"
#include "app/state/pairing_flow.h"

#include <QPointer>

#include <exception>
#include <utility>

namespace {

// The quiet scan ignores model changes: only serials and states count.
bool sameSerialsAndStates(const QList<AndroidDevice> &left, const QList<AndroidDevice> &right) {
    if (left.size() != right.size()) return false;
    for (qsizetype index = 0; index < left.size(); ++index) {
        if (left[index].serial != right[index].serial) return false;
    }
    for (qsizetype index = 0; index < left.size(); ++index) {
        if (left[index].state != right[index].state) return false;
    }
    return true;
}

bool lists(const QList<AndroidDevice> &devices, const QString &serial) {
    for (const AndroidDevice &device : devices) {
        if (device.serial == serial) return true;
    }
    return false;
}

} // namespace

AppViewModel::AppViewModel(std::shared_ptr<AdbService> adb, QObject *parent)
    : QObject(parent), adb_(std::move(adb)), pairing_(new PairingFlow(adb_, *this)) {}

void AppViewModel::setCustomName(const QString &serial, const QString &name) {
    const auto existing = customNames_.constFind(serial);
    if (existing != customNames_.cend() && *existing == name) return;
    customNames_.insert(serial, name);
    emit customNamesChanged();
}

QString AppViewModel::displayName(const AndroidDevice &device) const {
    const QString typed = customNames_.value(device.serial);
    if (!typed.isEmpty()) return typed;
    if (!device.model.isEmpty()) return QString(device.model).replace(QLatin1Char('_'), QLatin1Char(' '));
    return device.serial;
}

// Every operation keeps its own reference to the service and re-checks the
// model after each wait: the model may be gone by the time a child exits.

QCoro::Task<> AppViewModel::refresh() {
    const QPointer<AppViewModel> self(this);
    const std::shared_ptr<AdbService> adb = adb_;
    setBusy(true);
    setStatusMessage(QStringLiteral("Scanning for devices\u2026"));
    setErrorMessage(std::nullopt);

    QList<AndroidDevice> listed;
    std::exception_ptr failure;
    try {
        listed = co_await adb->devices();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    if (failure) {
        setErrorMessage(describeFailure(failure));
        setStatusMessage(std::nullopt);
        setBusy(false);
        co_return;
    }
    setDevices(applyRemovals(listed));
    setStatusMessage(std::nullopt);
    co_await refreshStorage();
    if (!self) co_return;
    setBusy(false);
}

QCoro::Task<> AppViewModel::poll() {
    const QPointer<AppViewModel> self(this);
    const std::shared_ptr<AdbService> adb = adb_;
    QList<AndroidDevice> listed;
    try {
        listed = co_await adb->devices();
    } catch (...) {
        co_return; // the next poll tries again
    }
    if (!self) co_return;
    QList<AndroidDevice> shown = applyRemovals(listed);
    if (sameSerialsAndStates(shown, devices_)) co_return;
    setDevices(std::move(shown));
    co_await refreshStorage();
}

QCoro::Task<> AppViewModel::connectWireless(QString serial) {
    const QPointer<AppViewModel> self(this);
    const std::shared_ptr<AdbService> adb = adb_;
    setBusy(true);
    setStatusMessage(QStringLiteral("Connecting over Wi-Fi\u2026"));
    setErrorMessage(std::nullopt);

    QString address;
    std::exception_ptr failure;
    try {
        address = co_await adb->enableWireless(serial);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    if (failure) {
        setErrorMessage(describeFailure(failure));
        setStatusMessage(std::nullopt);
        setBusy(false);
        co_return;
    }

    std::optional<QList<AndroidDevice>> listed;
    try {
        listed = co_await adb->devices();
    } catch (...) {
        // The switch itself succeeded; the next scan shows the list.
    }
    if (!self) co_return;
    // Taken as read: the phone shows up under both serials until a scan
    // no longer lists the cable one.
    if (listed) setDevices(std::move(*listed));
    setStatusMessage(QStringLiteral("Connected wirelessly at ") + address +
                     QStringLiteral(" \u2014 you can unplug the USB cable."));
    setBusy(false);
}

QCoro::Task<> AppViewModel::remove(QString serial) {
    const QPointer<AppViewModel> self(this);
    const std::shared_ptr<AdbService> adb = adb_;
    if (isWirelessSerial(serial)) {
        // Later listings leave it out once the tool has let go of it.
        try {
            co_await adb->disconnect(serial);
        } catch (...) {
        }
        if (!self) co_return;
    } else if (!removedSerials_.contains(serial)) {
        removedSerials_.insert(serial);
        emit removedSerialsChanged();
    }

    if (devices_.removeIf([&](const AndroidDevice &device) { return device.serial == serial; }) > 0) {
        emit devicesChanged();
    }
    dropStorage(serial);
    if (customNames_.remove(serial)) emit customNamesChanged();
}

QCoro::Task<> AppViewModel::refreshStorage() {
    const QPointer<AppViewModel> self(this);
    const std::shared_ptr<AdbService> adb = adb_;
    const QList<AndroidDevice> snapshot = devices_;
    for (const AndroidDevice &device : snapshot) {
        if (device.state != AndroidDevice::State::device) continue;
        if (storageBySerial_.contains(device.serial)) continue;

        std::optional<StoragePair> storage;
        try {
            storage = co_await adb->storage(device.serial);
        } catch (...) {
            storage.reset();
        }
        if (!self) co_return;
        // A phone removed while its query ran must not get its figures back.
        if (storage && lists(devices_, device.serial)) {
            storageBySerial_.insert(device.serial, *storage);
            emit storageBySerialChanged();
        } else {
            dropStorage(device.serial);
        }
    }
}

QList<AndroidDevice> AppViewModel::applyRemovals(const QList<AndroidDevice> &listed) {
    QSet<QString> listedSerials;
    for (const AndroidDevice &device : listed) listedSerials.insert(device.serial);
    QSet<QString> stillListed = removedSerials_;
    stillListed.intersect(listedSerials);
    if (stillListed != removedSerials_) {
        removedSerials_ = std::move(stillListed);
        emit removedSerialsChanged();
    }

    QList<AndroidDevice> shown;
    for (const AndroidDevice &device : listed) {
        if (!removedSerials_.contains(device.serial)) shown.append(device);
    }
    return shown;
}

void AppViewModel::setDevices(QList<AndroidDevice> devices) {
    if (devices == devices_) return;
    devices_ = std::move(devices);
    emit devicesChanged();
}

void AppViewModel::setBusy(bool busy) {
    if (busy == isBusy_) return;
    isBusy_ = busy;
    emit isBusyChanged();
}

void AppViewModel::setStatusMessage(std::optional<QString> message) {
    if (message == statusMessage_) return;
    statusMessage_ = std::move(message);
    emit statusMessageChanged();
}

void AppViewModel::setErrorMessage(std::optional<QString> message) {
    if (message == errorMessage_) return;
    errorMessage_ = std::move(message);
    emit errorMessageChanged();
}

void AppViewModel::dropStorage(const QString &serial) {
    if (storageBySerial_.remove(serial)) emit storageBySerialChanged();
}
