#include "platform/fileprovider/host/recent_items.h"

#include "platform/fileprovider/host/mount_paths.h"

namespace fileprovider {

namespace {

} // namespace

void RecentItems::rememberItem(const QString &mountPath, ItemPointer item, Clock::time_point askedAt) {
    std::lock_guard lock(mutex_);
    if (askedAt < forgottenAt_ || !item) return;
    prune(askedAt);
    items_.insert(mountPath, Looked{std::move(item), askedAt});
}

void RecentItems::rememberListing(const QString &folderMountPath, const QList<ItemPointer> &children, Clock::time_point askedAt) {
    QHash<QString, ItemPointer> byName;
    byName.reserve(children.size());
    for (const ItemPointer &child : children) byName.insert(child->filename(), child);
    std::lock_guard lock(mutex_);
    if (askedAt < forgottenAt_) return;
    prune(askedAt);
    listings_.insert(folderMountPath, Listing{std::move(byName), askedAt});
}

ItemPointer RecentItems::fresh(const QString &mountPath, Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    if (auto looked = items_.constFind(mountPath); looked != items_.cend() && now - looked->askedAt < freshFor_) return looked->item;
    if (auto listing = listings_.constFind(parentMountPath(mountPath)); listing != listings_.cend() && now - listing->askedAt < freshFor_)
        return listing->children.value(lastComponent(mountPath));
    return nullptr;
}

void RecentItems::forgetAll() {
    std::lock_guard lock(mutex_);
    items_.clear();
    listings_.clear();
    forgottenAt_ = Clock::now();
}

void RecentItems::prune(Clock::time_point now) {
    // Stale answers go at once: a listing of a large folder is megabytes.
    const auto stale = [&](Clock::time_point askedAt) { return now - askedAt >= freshFor_; };
    items_.removeIf([&](const auto &entry) { return stale(entry.value().askedAt); });
    listings_.removeIf([&](const auto &entry) { return stale(entry.value().askedAt); });
}

} // namespace fileprovider
