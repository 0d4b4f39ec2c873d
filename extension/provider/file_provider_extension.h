#pragma once

#include "extension/adbclient/adb_client.h"
#include "extension/provider/media_scanner.h"
#include "extension/provider/upload_leftovers.h"
#include "platform/fileprovider/host/replicated_extension.h"

#include <QString>

#include <memory>

// Serves one phone's domain: looks items up, downloads files, hands out
// enumerators and creates, changes and deletes items, each request as one
// job against the adb server. It keeps no
// copy of the phone's tree; every answer is read from the phone.
class FileProviderExtension : public fileprovider::ReplicatedExtension {
public:
    // `mediaScan`: the phone's media index is told of new and changed files.
    explicit FileProviderExtension(const fileprovider::Domain &domain, quint16 serverPort = AdbClient::defaultPort, bool mediaScan = true);

    const QString &serial() const { return serial_; }
    // Downloads go here: "vane-fetch" in the process's temporary folder.
    const QString &tempDir() const { return tempDir_; }

    // Cuts every connection to the adb server: requests still waiting on the
    // phone fail at once, so a silent phone holds up no unmount.
    void invalidate() override;

    fileprovider::ProgressPointer itemForIdentifier(const fileprovider::ItemIdentifier &identifier,
                                                    fileprovider::ItemCompletion completion) override;
    fileprovider::ProgressPointer fetchContentsForItemWithIdentifier(const fileprovider::ItemIdentifier &identifier,
                                                                     const std::optional<fileprovider::ItemVersion> &requestedVersion,
                                                                     fileprovider::FetchContentsCompletion completion) override;
    std::unique_ptr<fileprovider::Enumerator> enumeratorForContainerItemIdentifier(
        const fileprovider::ItemIdentifier &container) override;
    // Answers once the transfer has started; the bytes follow as they arrive.
    fileprovider::ProgressPointer openContentsForItemWithIdentifier(const fileprovider::ItemIdentifier &identifier,
                                                                    fileprovider::ItemPointer knownItem,
                                                                    fileprovider::OpenContentsCompletion completion) override;

    // Every change is done on the phone before its completion is called.
    fileprovider::ProgressPointer createItemBasedOnTemplate(fileprovider::ItemPointer itemTemplate, fileprovider::ItemFields fields,
                                                            const std::optional<fileprovider::ContentsFile> &contents,
                                                            fileprovider::CreateItemOptions options,
                                                            fileprovider::ChangeItemCompletion completion) override;
    fileprovider::ProgressPointer modifyItem(fileprovider::ItemPointer item, const fileprovider::ItemVersion &baseVersion,
                                             fileprovider::ItemFields changedFields, const std::optional<fileprovider::ContentsFile> &contents,
                                             fileprovider::ModifyItemOptions options,
                                             fileprovider::ChangeItemCompletion completion) override;
    fileprovider::ProgressPointer deleteItemWithIdentifier(const fileprovider::ItemIdentifier &identifier,
                                                           const fileprovider::ItemVersion &baseVersion,
                                                           fileprovider::DeleteItemOptions options,
                                                           fileprovider::DeleteItemCompletion completion) override;

    // The phone's shared storage, from `df -k /sdcard`.
    fileprovider::ProgressPointer storageSpace(fileprovider::StorageSpaceCompletion completion) override;
    // Identifiers are device paths, so a child's is known without the phone.
    std::optional<fileprovider::ItemIdentifier> identifierForChild(const fileprovider::ItemIdentifier &parent,
                                                                   const QString &filename) const override;

private:
    AdbClient client() const { return AdbClient(serial_, serverPort_, syncPool_); }

    QString serial_;
    QString tempDir_;
    quint16 serverPort_;
    std::shared_ptr<SyncConnectionPool> syncPool_;
    std::shared_ptr<UploadLeftovers> leftovers_ = std::make_shared<UploadLeftovers>();
    std::shared_ptr<MediaScanner> mediaScanner_;
};
