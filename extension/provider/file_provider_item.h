#pragma once

#include "extension/adbclient/adb_entry.h"
#include "platform/fileprovider/host/item.h"

#include <QString>

#include <memory>

// One entry of the phone as the system sees it: a snapshot named by its
// device path, never changed after it is made.
class FileProviderItem : public fileprovider::Item {
public:
    FileProviderItem(QString devicePath, bool isDirectory, qint64 size, fileprovider::Timestamp modified);

    // The root folder, stamped with the current time; made without the phone.
    static std::shared_ptr<FileProviderItem> rootItem();
    // An entry of the listing of `containerPath`.
    static std::shared_ptr<FileProviderItem> listed(const QString &containerPath, const AdbEntry &entry);
    // What a lookup of `devicePath` found, under the path as it was asked for.
    static std::shared_ptr<FileProviderItem> looked(const QString &devicePath, const AdbEntry &entry);

    const QString &devicePath() const { return devicePath_; }
    bool isDirectory() const { return isDirectory_; }
    qint64 size() const { return size_; }
    fileprovider::Timestamp modified() const { return modified_; }

    fileprovider::ItemIdentifier itemIdentifier() const override;
    fileprovider::ItemIdentifier parentItemIdentifier() const override;
    QString filename() const override;
    fileprovider::ContentType contentType() const override;
    // From the phone's mode, without asking the type database.
    bool isFolder() const override { return isDirectory_; }
    std::optional<qint64> documentSize() const override;
    std::optional<fileprovider::Timestamp> contentModificationDate() const override { return modified_; }
    std::optional<fileprovider::Timestamp> creationDate() const override { return modified_; }
    // Read, write, move, rename and delete; never trash or evict.
    fileprovider::ItemCapabilities capabilities() const override;
    // "<whole seconds of modified>-<size>", as both content and metadata version.
    fileprovider::ItemVersion itemVersion() const override;

private:
    QString devicePath_;
    bool isDirectory_;
    qint64 size_;
    fileprovider::Timestamp modified_;
};
