#pragma once

#include "platform/fileprovider/host/item.h"

#include <QHash>
#include <QList>
#include <QString>

#include <chrono>
#include <mutex>

namespace fileprovider {

// Items as the phone described them moments ago, by mount path: a lookup's
// answer or a listing's entries. A file opened right after it was looked up
// or listed (a folder copied out, a file manager drawing previews) need not
// be asked about again. Kept no longer than the kernel keeps the same
// answers, and forgotten at every change made through the mount.
class RecentItems {
public:
    using Clock = std::chrono::steady_clock;
    explicit RecentItems(Clock::duration freshFor) : freshFor_(freshFor) {}

    // `askedAt` is when the phone was asked: an answer asked for before
    // the last change is not kept.
    void rememberItem(const QString &mountPath, ItemPointer item, Clock::time_point askedAt);
    void rememberListing(const QString &folderMountPath, const QList<ItemPointer> &children, Clock::time_point askedAt);
    // None when nothing fresh is known.
    ItemPointer fresh(const QString &mountPath, Clock::time_point now = Clock::now()) const;
    void forgetAll();

private:
    struct Listing {
        QHash<QString, ItemPointer> children;
        Clock::time_point askedAt;
    };
    struct Looked {
        ItemPointer item;
        Clock::time_point askedAt;
    };
    void prune(Clock::time_point now);

    const Clock::duration freshFor_;
    mutable std::mutex mutex_;
    QHash<QString, Looked> items_;
    QHash<QString, Listing> listings_;
    Clock::time_point forgottenAt_{};
};

} // namespace fileprovider
