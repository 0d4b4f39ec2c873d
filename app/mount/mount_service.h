#pragma once

#include "app/adb/adb_service.h"
#include "app/adb/android_device.h"
#include "app/mount/device_mount.h"
#include "platform/fileprovider/domain/file_provider_manager.h"
#include "platform/workspace/workspace.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QCoro/QCoroTask>

class MountTableWatcher;

#include <memory>
#include <optional>

// Puts phones in the file manager and takes them out again: one mount
// record per serial, one file-provider domain per mounted phone. Lives on
// the UI thread; mount and unmount return at once and finish in tasks of
// their own, which may outlive the service (they then only finish their
// work with the file-provider layer). Nothing here reports failure to the
// caller: a failed mount leaves its text in the record, the rest is dropped.
class MountService : public QObject {
    Q_OBJECT

public:
    using State = MountState;

    explicit MountService(std::shared_ptr<AdbService> adb = std::make_shared<AdbService>(),
                          std::shared_ptr<FileProviderManager> domains = std::make_shared<FileProviderManager>(),
                          std::shared_ptr<Workspace> workspace = defaultWorkspace(), QObject *parent = nullptr);

    const QHash<QString, DeviceMount> &mounts() const { return mounts_; }
    // The record of a serial; a serial without one is unmounted.
    DeviceMount mountOf(const QString &serial) const { return mounts_.value(serial); }

    // Ignored unless the phone is unmounted. `name` is the display name as
    // typed; absent means the model's or the serial.
    void mount(const AndroidDevice &device, const std::optional<QString> &name = std::nullopt);
    // Ignored unless the phone is mounted.
    void unmount(const QString &serial);
    void reveal(const QString &serial);
    void open(const QString &serial);

    // Removes every domain of the app, also those of an earlier run, then
    // forgets every record.
    QCoro::Task<> removeAllDomains();
    QCoro::Task<> removeDomains(QString identifier);

    // A mounted phone whose domain the layer no longer serves (its folder
    // was unmounted from outside, its host died) is unmounted as the user
    // would, so its folder and host go and its card offers Mount again.
    // Runs on every change of the mount table; dead hosts leave the table
    // as it was, so the device screen also calls it on each quiet scan.
    void dropLostMounts();

    static QString domainIdentifier(const QString &serial);
    static QString serial(const QString &domainIdentifier);
    static inline const QString addFailurePrefix = QStringLiteral("Couldn't add to the file manager: ");

signals:
    // One phone's record changed.
    void mountChanged(const QString &serial);
    // All records were dropped.
    void mountsCleared();

private:
    static std::shared_ptr<Workspace> defaultWorkspace();

    void setMount(const QString &serial, DeviceMount mount);
    QCoro::Task<> runMount(QString serial, QString identifier, QString displayName);
    QCoro::Task<> runUnmount(QString serial, FileProviderDomain domain);

    std::shared_ptr<AdbService> adb_;
    std::shared_ptr<FileProviderManager> domains_;
    std::shared_ptr<Workspace> workspace_;
    QHash<QString, DeviceMount> mounts_;
    MountTableWatcher *mountTable_;
};
