#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <chrono>
#include <mutex>

namespace fileprovider {

// What a recent listing of a folder says is not in it. A folder copied into
// the mount has every new name looked up first, one question to the phone
// each; while such lookups come in a burst, with names being made there
// through the mount, one listing a second answers them instead. Only absence is answered from it, never an item, and only
// for a second: less than the kernel keeps the items it was given.
class RecentFolderNames {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds freshFor{1};

    enum class Answer {
        absent,   // a fresh listing lacks the name
        unknown,  // ask the phone
        relist,   // ask the phone for the folder's listing, then remember it
    };
    Answer lookUp(const QString &folder, const QString &name, Clock::time_point now = Clock::now());
    // The phone had no such name in the folder.
    void missed(const QString &folder, Clock::time_point now = Clock::now());
    // The folder's listing, as read at `listedAt`.
    void remember(const QString &folder, QSet<QString> names, Clock::time_point listedAt = Clock::now());
    // A name made in the folder through the mount; it counts for every
    // listing that may have been read before it was there.
    void added(const QString &folder, const QString &name, Clock::time_point now = Clock::now());
    // A folder was just made through the mount: it holds only what is made
    // in it from now on, whatever was made in an earlier one of that path
    // (since removed on the phone).
    void madeFolder(const QString &folder);
    // Folders were moved or removed: no listing is trusted any more.
    void forgetAll();

private:
    struct Folder {
        QSet<QString> listed;
        QSet<QString> added;
        Clock::time_point listedAt{};
        Clock::time_point lastMissed{};
        Clock::time_point previousMissed{};
        Clock::time_point lastAdded{};
        int misses = 0;   // counted up to two: all a burst needs
        bool hasListing = false;
        void noteMiss(Clock::time_point now);
    };
    // Drops what no answer can use any more, so the table stays small.
    void prune(Clock::time_point now);

    std::mutex mutex_;
    QHash<QString, Folder> folders_;
    Clock::time_point forgottenAt_{};
};

} // namespace fileprovider
