#pragma once

#include "platform/fileprovider/host/item.h"

#include <functional>

namespace fileprovider {

// The parts of a new or changed item that the system fills in for a
// request: which item, where it goes, its name and its kind.
class TemplateItem : public Item {
public:
    TemplateItem(ItemIdentifier identifier, ItemIdentifier parent, QString filename, ContentType type)
        : identifier_(std::move(identifier)), parent_(std::move(parent)), filename_(std::move(filename)), type_(std::move(type)) {}

    ItemIdentifier itemIdentifier() const override { return identifier_; }
    ItemIdentifier parentItemIdentifier() const override { return parent_; }
    QString filename() const override { return filename_; }
    ContentType contentType() const override { return type_; }
    ItemVersion itemVersion() const override { return {}; }
    // Asked each time: a file still being written may be given its time later.
    std::optional<Timestamp> contentModificationDate() const override {
        return modificationDate_ ? modificationDate_() : std::nullopt;
    }
    void setModificationDate(std::function<std::optional<Timestamp>()> date) { modificationDate_ = std::move(date); }

private:
    std::function<std::optional<Timestamp>()> modificationDate_;
    ItemIdentifier identifier_;
    ItemIdentifier parent_;
    QString filename_;
    ContentType type_;
};

} // namespace fileprovider
