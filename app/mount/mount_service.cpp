#include "app/mount/mount_service.h"

#include "app/mount/domain_identifier.h"
#include "platform/fileprovider/domain/file_provider_error.h"
#include "platform/fileprovider/domain/mount_table_watcher.h"
#include "platform/workspace/desktop_workspace.h"

#include <QPointer>
#include <QTimer>

#include <exception>
#include <utility>

namespace {

// Each pass of a list removes one domain at a time; any failure is dropped.
QCoro::Task<> removeEach(std::shared_ptr<FileProviderManager> domains, QList<FileProviderDomain> doomed) {
    for (const FileProviderDomain &domain : doomed) {
        try {
            co_await domains->removeDomain(domain);
        } catch (...) {
        }
    }
}

QCoro::Task<QList<FileProviderDomain>> listDomains(std::shared_ptr<FileProviderManager> domains) {
    try {
        const QList<FileProviderDomain> found = co_await domains->domains();
        co_return found;
    } catch (...) {
        co_return QList<FileProviderDomain>();
    }
}

QCoro::Task<> removeDomainsWithIdentifier(std::shared_ptr<FileProviderManager> domains, QString identifier) {
    const QList<FileProviderDomain> all = co_await listDomains(domains);
    QList<FileProviderDomain> matching;
    for (const FileProviderDomain &domain : all) {
        if (domain.identifier() == identifier) matching.append(domain);
    }
    co_await removeEach(domains, matching);
}

} // namespace

MountService::MountService(std::shared_ptr<AdbService> adb, std::shared_ptr<FileProviderManager> domains,
                           std::shared_ptr<Workspace> workspace, QObject *parent)
    : QObject(parent), adb_(std::move(adb)), domains_(std::move(domains)), workspace_(std::move(workspace)),
      mountTable_(new MountTableWatcher(this)) {
    connect(mountTable_, &MountTableWatcher::changed, this, &MountService::dropLostMounts);
}

std::shared_ptr<Workspace> MountService::defaultWorkspace() { return std::make_shared<DesktopWorkspace>(); }

QString MountService::domainIdentifier(const QString &serial) { return domainIdentifierForSerial(serial); }
QString MountService::serial(const QString &domainIdentifier) { return serialForDomainIdentifier(domainIdentifier); }

void MountService::setMount(const QString &serial, DeviceMount mount) {
    mounts_.insert(serial, std::move(mount));
    emit mountChanged(serial);
}

void MountService::mount(const AndroidDevice &device, const std::optional<QString> &name) {
    const auto existing = mounts_.constFind(device.serial);
    if (existing != mounts_.constEnd() && existing->state != State::unmounted) return;

    setMount(device.serial, DeviceMount{State::mounting, std::nullopt, std::nullopt, std::nullopt});
    const QString serial = device.serial;
    const QString identifier = domainIdentifier(serial);
    const QString displayName = mountDisplayName(device, name);
    // Started from the event loop, so the card shows "mounting" before the
    // synchronous start-server wait.
    QTimer::singleShot(0, this, [this, serial, identifier, displayName] { runMount(serial, identifier, displayName); });
}

QCoro::Task<> MountService::runMount(QString serial, QString identifier, QString displayName) {
    const QPointer<MountService> self(this);
    const std::shared_ptr<FileProviderManager> domains = domains_;

    adb_->startServer();
    co_await removeDomainsWithIdentifier(domains, identifier);

    const FileProviderDomain domain(identifier, displayName);
    std::optional<QString> failure;
    try {
        co_await domains->addDomain(domain);
    } catch (const FileProviderError &error) {
        failure = error.description();
    } catch (const std::exception &error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    if (failure) {
        if (self) setMount(serial, DeviceMount{State::unmounted, std::nullopt, std::nullopt, addFailurePrefix + *failure});
        co_return;
    }

    std::optional<QString> location;
    try {
        location = co_await domains->userVisibleLocation(domain);
    } catch (...) {
        location.reset();
    }
    if (!self) co_return;
    setMount(serial, DeviceMount{State::mounted, domain, location, std::nullopt});
    open(serial);
}

void MountService::unmount(const QString &serial) {
    const auto existing = mounts_.constFind(serial);
    if (existing == mounts_.constEnd() || existing->state != State::mounted || !existing->domain) return;

    DeviceMount unmounting = *existing;
    unmounting.state = State::unmounting;
    const FileProviderDomain domain = *unmounting.domain;
    setMount(serial, std::move(unmounting));
    runUnmount(serial, domain);
}

QCoro::Task<> MountService::runUnmount(QString serial, FileProviderDomain domain) {
    const QPointer<MountService> self(this);
    const std::shared_ptr<FileProviderManager> domains = domains_;
    try {
        co_await domains->removeDomain(domain);
    } catch (...) {
    }
    if (self) setMount(serial, DeviceMount{});
}

void MountService::dropLostMounts() {
    QStringList lost;
    for (auto entry = mounts_.cbegin(); entry != mounts_.cend(); ++entry) {
        if (entry->state == State::mounted && entry->domain && !domains_->isServing(*entry->domain))
            lost.append(entry.key());
    }
    for (const QString &serial : std::as_const(lost)) unmount(serial);
}

void MountService::reveal(const QString &serial) {
    const auto existing = mounts_.constFind(serial);
    if (existing != mounts_.constEnd() && existing->mountPoint) workspace_->reveal(*existing->mountPoint);
}

void MountService::open(const QString &serial) {
    const auto existing = mounts_.constFind(serial);
    if (existing != mounts_.constEnd() && existing->mountPoint) workspace_->open(*existing->mountPoint);
}

QCoro::Task<> MountService::removeAllDomains() {
    const QPointer<MountService> self(this);
    const std::shared_ptr<FileProviderManager> domains = domains_;
    const QList<FileProviderDomain> all = co_await listDomains(domains);
    co_await removeEach(domains, all);
    if (!self) co_return;
    mounts_.clear();
    emit mountsCleared();
}

QCoro::Task<> MountService::removeDomains(QString identifier) {
    const std::shared_ptr<FileProviderManager> domains = domains_;
    co_await removeDomainsWithIdentifier(domains, identifier);
}
