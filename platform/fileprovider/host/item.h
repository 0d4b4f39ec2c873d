#pragma once

#include "platform/fileprovider/host/content_type.h"
#include "platform/fileprovider/host/item_identifier.h"

#include <QByteArray>
#include <QFlags>
#include <QString>

#include <memory>
#include <optional>

namespace fileprovider {

// Seconds since 1970-01-01 UTC.
using Timestamp = double;

enum class ItemCapability : unsigned {
    allowsReading = 1,       // also: listing a folder's contents
    allowsWriting = 2,       // also: adding items to a folder
    allowsReparenting = 4,
    allowsRenaming = 8,
    allowsTrashing = 16,
    allowsDeleting = 32,
};
Q_DECLARE_FLAGS(ItemCapabilities, ItemCapability)
Q_DECLARE_OPERATORS_FOR_FLAGS(ItemCapabilities)

// The item fields a change request names as changed.
enum class ItemField : unsigned {
    contents = 1,
    filename = 2,
    parentItemIdentifier = 4,
    contentModificationDate = 128,
};
Q_DECLARE_FLAGS(ItemFields, ItemField)
Q_DECLARE_OPERATORS_FOR_FLAGS(ItemFields)

// Tells the system whether an item's contents or its metadata moved on.
struct ItemVersion {
    QByteArray contentVersion;
    QByteArray metadataVersion;

    friend bool operator==(const ItemVersion &, const ItemVersion &) = default;
};

// What the system reads of a file or folder. Items are immutable and may be
// read from any thread; the system owns them once they are handed over.
class Item {
public:
    virtual ~Item() = default;

    virtual ItemIdentifier itemIdentifier() const = 0;
    virtual ItemIdentifier parentItemIdentifier() const = 0;
    virtual QString filename() const = 0;
    // ContentType::folder() marks a folder; anything else is a file.
    virtual ContentType contentType() const = 0;
    // None for folders.
    virtual std::optional<qint64> documentSize() const { return std::nullopt; }
    virtual std::optional<Timestamp> contentModificationDate() const { return std::nullopt; }
    virtual std::optional<Timestamp> creationDate() const { return std::nullopt; }
    virtual ItemCapabilities capabilities() const { return ItemCapability::allowsReading; }
    virtual ItemVersion itemVersion() const = 0;

    // Asked on every lookup: an item that knows it without working out its
    // type says so.
    virtual bool isFolder() const { return contentType() == ContentType::folder(); }
};

using ItemPointer = std::shared_ptr<const Item>;

} // namespace fileprovider
