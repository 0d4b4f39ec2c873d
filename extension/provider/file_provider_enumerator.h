#pragma once

#include "extension/adbclient/adb_client.h"
#include "platform/fileprovider/host/enumeration.h"

#include <QString>

#include <optional>

// Lists one phone folder, fresh from the phone at every call, in one page.
// It reports no changes and its sync anchor never moves. It holds nothing
// but what it was made with.
class FileProviderEnumerator : public fileprovider::Enumerator {
public:
    FileProviderEnumerator(QString serial, const fileprovider::ItemIdentifier &container,
                           quint16 serverPort = AdbClient::defaultPort, std::shared_ptr<SyncConnectionPool> syncPool = {});

    const QString &serial() const { return serial_; }
    // None for the working set and the trash, which name no phone folder.
    const std::optional<QString> &containerPath() const { return containerPath_; }
    const fileprovider::SyncAnchor &anchor() const { return anchor_; }

    void invalidate() override {}
    void enumerateItemsForObserver(fileprovider::EnumerationObserverPointer observer, const fileprovider::Page &startPage) override;
    void enumerateChangesForObserver(fileprovider::ChangeObserverPointer observer, const fileprovider::SyncAnchor &fromAnchor) override;
    void currentSyncAnchor(const fileprovider::SyncAnchorCompletion &completion) override;

private:
    QString serial_;
    std::optional<QString> containerPath_;
    fileprovider::SyncAnchor anchor_;
    quint16 serverPort_;
    std::shared_ptr<SyncConnectionPool> syncPool_;
};
