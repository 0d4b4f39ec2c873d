#pragma once

#include "platform/fileprovider/domain/domain_record.h"
#include "platform/fileprovider/domain/file_provider_domain.h"

#include <QList>
#include <QString>
#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

// Adds, lists and removes the app's domains. A domain is a folder under the
// mount root on which a detached host program serves one phone through FUSE,
// plus a record under the runtime folder; both outlive the app until the
// domain is removed. Every call is a coroutine for the UI thread: it waits
// for child processes and mounts by polling, never by blocking.
class FileProviderManager {
public:
    struct Settings {
        QString hostProgram;       // started as PROGRAM --domain IDENTIFIER --mountpoint DIR
        QString recordsDirectory;  // one record file per domain
        QString mountRoot;         // the mount folders are made here
        std::chrono::milliseconds liveLimit = std::chrono::seconds(10);
    };

    // VaneFileProvider beside the running program; records under
    // $XDG_RUNTIME_DIR/dorvane/domains (or /tmp/dorvane-UID/domains);
    // folders under $DORVANE_MOUNT_ROOT (or $HOME/Phones).
    static Settings defaultSettings();

    explicit FileProviderManager(Settings settings = defaultSettings());

    const Settings &settings() const { return settings_; }

    // Returns once the domain's folder is mounted. Throws FileProviderError,
    // and then leaves no record, folder or process behind.
    QCoro::Task<> addDomain(FileProviderDomain domain);

    // Unmounts (lazily when busy), ends the host, removes folder and record.
    // A host that already died or a mount already gone is fine. Throws
    // FileProviderError when the domain is not registered or stays mounted.
    QCoro::Task<> removeDomain(FileProviderDomain domain);

    // Every recorded domain, in the order of their identifiers.
    QCoro::Task<QList<FileProviderDomain>> domains();

    // The folder that shows the domain's root; absent while it is not mounted.
    // Throws FileProviderError when the domain is not registered.
    QCoro::Task<std::optional<QString>> userVisibleLocation(FileProviderDomain domain);

    // Whether the domain is registered, its folder mounted and its host
    // running. False once the mount was removed from outside or the host
    // died; removeDomain then still cleans up. Reads only /proc, so a hung
    // host cannot stall the caller.
    bool isServing(const FileProviderDomain &domain) const;

    // The records as they are, for callers that need the host's details.
    QList<DomainRecord> records() const;

private:
    QString recordPath(const QString &identifier) const;
    QString logPath(const QString &identifier) const;
    std::optional<DomainRecord> readRecord(const QString &identifier) const;
    void writeRecord(const DomainRecord &record) const;
    void ensureRecordsDirectory() const;
    QString makeMountDirectory(const QString &displayName, const QString &identifier) const;
    QString hostFailureText(const QString &identifier) const;
    QCoro::Task<> waitUntilLive(const DomainRecord &record);
    QCoro::Task<> discard(DomainRecord record);

    Settings settings_;
};
