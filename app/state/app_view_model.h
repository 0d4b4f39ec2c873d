#pragma once

#include "app/adb/adb_service.h"
#include "app/adb/android_device.h"
#include "app/adb/storage_reader.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

class PairingFlow;

// The state behind the main window: the phones listed, their storage
// figures, the names typed on their cards and the scans that fill them.
// Lives on the UI thread. Operations may overlap; each write replaces its
// field, so the last write wins. A started operation may outlive the model:
// it then finishes its child process and touches nothing of the model.
class AppViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<AndroidDevice> devices READ devices NOTIFY devicesChanged)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)

public:
    explicit AppViewModel(std::shared_ptr<AdbService> adb = std::make_shared<AdbService>(), QObject *parent = nullptr);

    AdbService &adb() const { return *adb_; }
    // Pairing a phone by its Wireless debugging code.
    PairingFlow &pairing() const { return *pairing_; }

    const QList<AndroidDevice> &devices() const { return devices_; }
    const QHash<QString, StoragePair> &storageBySerial() const { return storageBySerial_; }
    bool isBusy() const { return isBusy_; }
    const std::optional<QString> &statusMessage() const { return statusMessage_; }
    const std::optional<QString> &errorMessage() const { return errorMessage_; }
    const QHash<QString, QString> &customNames() const { return customNames_; }
    const QSet<QString> &removedSerials() const { return removedSerials_; }

    // The card's name field, written on every change of its text.
    void setCustomName(const QString &serial, const QString &name);

    // The typed name if not empty, else the model with "_" as blanks, else the serial.
    QString displayName(const AndroidDevice &device) const;

    // A full scan: busy, status text, errors kept in errorMessage.
    QCoro::Task<> refresh();
    // A quiet scan: takes a new listing only when serials or states changed.
    QCoro::Task<> poll();
    QCoro::Task<> connectWireless(QString serial);
    // Disconnects a wireless phone; hides a cable phone while it stays listed.
    QCoro::Task<> remove(QString serial);
    // Reads figures for ready phones that have none yet, one at a time.
    QCoro::Task<> refreshStorage();
    // Forgets removed serials no longer listed and filters out the rest.
    QList<AndroidDevice> applyRemovals(const QList<AndroidDevice> &listed);

signals:
    void devicesChanged();
    void storageBySerialChanged();
    void isBusyChanged();
    void statusMessageChanged();
    void errorMessageChanged();
    void customNamesChanged();
    void removedSerialsChanged();

private:
    void setDevices(QList<AndroidDevice> devices);
    void setBusy(bool busy);
    void setStatusMessage(std::optional<QString> message);
    void setErrorMessage(std::optional<QString> message);
    void dropStorage(const QString &serial);

    // Shared with running operations, so a model destroyed mid-command
    // leaves them a live service to finish on.
    std::shared_ptr<AdbService> adb_;
    QList<AndroidDevice> devices_;
    QHash<QString, StoragePair> storageBySerial_;
    bool isBusy_ = false;
    std::optional<QString> statusMessage_;
    std::optional<QString> errorMessage_;
    QHash<QString, QString> customNames_;
    QSet<QString> removedSerials_;
    PairingFlow *pairing_; // a child
};
