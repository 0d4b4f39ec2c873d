#include "extension/provider/file_provider_item.h"

#include "extension/provider/device_paths.h"
#include "platform/fileprovider/host/type_registry.h"

#include <QDateTime>

#include <cmath>
#include <limits>

using namespace fileprovider;

FileProviderItem::FileProviderItem(QString devicePath, bool isDirectory, qint64 size, Timestamp modified)
    : devicePath_(std::move(devicePath)), isDirectory_(isDirectory), size_(size), modified_(modified) {}

std::shared_ptr<FileProviderItem> FileProviderItem::rootItem() {
    const Timestamp now = static_cast<Timestamp>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    return std::make_shared<FileProviderItem>(deviceRoot, true, 0, now);
}

std::shared_ptr<FileProviderItem> FileProviderItem::listed(const QString &containerPath, const AdbEntry &entry) {
    return std::make_shared<FileProviderItem>(childPath(containerPath, entry.name), entry.isDirectory, entry.size, entry.modified);
}

std::shared_ptr<FileProviderItem> FileProviderItem::looked(const QString &devicePath, const AdbEntry &entry) {
    return std::make_shared<FileProviderItem>(devicePath, entry.isDirectory, entry.size, entry.modified);
}

ItemIdentifier FileProviderItem::itemIdentifier() const { return identifierForDevicePath(devicePath_); }

ItemIdentifier FileProviderItem::parentItemIdentifier() const {
    if (devicePath_ == deviceRoot) return ItemIdentifier::rootContainer();
    return identifierForDevicePath(deletingLastPathComponent(devicePath_));
}

QString FileProviderItem::filename() const { return lastPathComponent(devicePath_); }

ContentType FileProviderItem::contentType() const {
    if (isDirectory_) return ContentType::folder();
    return TypeRegistry::dataTypeForFilenameExtension(pathExtension(devicePath_)).value_or(ContentType::data());
}

std::optional<qint64> FileProviderItem::documentSize() const {
    if (isDirectory_) return std::nullopt;
    return size_;
}

ItemCapabilities FileProviderItem::capabilities() const {
    return ItemCapability::allowsReading | ItemCapability::allowsWriting | ItemCapability::allowsReparenting |
           ItemCapability::allowsRenaming | ItemCapability::allowsDeleting;
}

namespace {

// Truncated toward zero; a date beyond the 64-bit range keeps the nearest end.
qint64 wholeSeconds(Timestamp seconds) {
    if (std::isnan(seconds)) return 0;
    constexpr double limit = 9223372036854775807.0;
    if (seconds >= limit) return std::numeric_limits<qint64>::max();
    if (seconds <= -limit) return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(std::trunc(seconds));
}

} // namespace

ItemVersion FileProviderItem::itemVersion() const {
    const QByteArray version = QByteArray::number(wholeSeconds(modified_)) + '-' + QByteArray::number(size_);
    return {version, version};
}
