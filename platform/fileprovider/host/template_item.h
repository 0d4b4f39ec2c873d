#pragma once

#include "platform/fileprovider/host/item.h"

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

private:
    ItemIdentifier identifier_;
    ItemIdentifier parent_;
    QString filename_;
    ContentType type_;
};

} // namespace fileprovider
