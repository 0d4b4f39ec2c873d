#include "platform/fileprovider/host/recent_folder_names.h"

#include <algorithm>

namespace fileprovider {

namespace {

constexpr qsizetype pruneAbove = 64;
// A name made through the mount stays known this long after the folder was
// last used, outlasting any listing read before it was on the phone.
constexpr std::chrono::seconds keepAdded{60};

// The phone's shared storage ignores case: "A.jpg" is there when "a.JPG" is.
QString folded(const QString &name) { return name.toCaseFolded(); }

} // namespace

RecentFolderNames::Answer RecentFolderNames::lookUp(const QString &folder, const QString &name, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    auto found = folders_.find(folder);
    if (found == folders_.end()) return Answer::unknown;
    Folder &entry = *found;
    // Only while names are being made in the folder through the mount, as
    // a copy into it does: anything else asks the phone every time.
    if (entry.added.isEmpty() || now - entry.lastAdded >= freshFor) return Answer::unknown;
    if (entry.hasListing && now - entry.listedAt < freshFor) {
        const QString key = folded(name);
        if (entry.listed.contains(key) || entry.added.contains(key)) return Answer::unknown;
        // Still a burst: the next listing follows when this one is stale.
        entry.noteMiss(now);
        return Answer::absent;
    }
    // Two misses within the second make a burst; one alone is a single new
    // name (an editor's save), not worth a listing.
    const bool burst = entry.misses >= 2 && now - entry.previousMissed < freshFor;
    return burst ? Answer::relist : Answer::unknown;
}

void RecentFolderNames::missed(const QString &folder, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    prune(now);
    folders_[folder].noteMiss(now);
}

void RecentFolderNames::Folder::noteMiss(Clock::time_point now) {
    previousMissed = lastMissed;
    lastMissed = now;
    misses = std::min(misses + 1, 2);
}

void RecentFolderNames::remember(const QString &folder, QSet<QString> names, Clock::time_point listedAt) {
    std::lock_guard lock(mutex_);
    // Read before folders last moved: it may show them where they were.
    if (listedAt < forgottenAt_) return;
    prune(listedAt);
    QSet<QString> keys;
    keys.reserve(names.size());
    for (const QString &name : names) keys.insert(folded(name));
    Folder &entry = folders_[folder];
    // A name the listing shows needs no remembering of its own any more.
    for (auto it = entry.added.begin(); it != entry.added.end();) it = keys.contains(*it) ? entry.added.erase(it) : std::next(it);
    entry.listed = std::move(keys);
    entry.listedAt = listedAt;
    entry.hasListing = true;
}

void RecentFolderNames::added(const QString &folder, const QString &name, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    // Kept even before any listing: one may be on its way, read before the name was made.
    Folder &entry = folders_[folder];
    entry.added.insert(folded(name));
    entry.lastAdded = now;
}

void RecentFolderNames::madeFolder(const QString &folder) {
    std::lock_guard lock(mutex_);
    const QString inside = folder + u'/';
    for (auto it = folders_.begin(); it != folders_.end();)
        it = it.key() == folder || it.key().startsWith(inside) ? folders_.erase(it) : std::next(it);
}

void RecentFolderNames::forgetAll() {
    std::lock_guard lock(mutex_);
    folders_.clear();
    forgottenAt_ = Clock::now();
}

void RecentFolderNames::prune(Clock::time_point now) {
    if (folders_.size() <= pruneAbove) return;
    for (auto it = folders_.begin(); it != folders_.end();) {
        const bool listingUsable = it->hasListing && now - it->listedAt < freshFor;
        const bool missUsable = it->misses > 0 && now - it->lastMissed < freshFor;
        const bool addedUsable = !it->added.isEmpty() && now - it->lastAdded < keepAdded;
        it = listingUsable || missUsable || addedUsable ? std::next(it) : folders_.erase(it);
    }
}

} // namespace fileprovider
