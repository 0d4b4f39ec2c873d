#pragma once

#include "extension/adbclient/adb_client.h"
#include "extension/provider/media_scan_commands.h"

#include <QString>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

// Tells the phone's media index of the mount's changes, on a thread of its
// own: nothing waits for it and nothing fails with it. Paths that come in
// close together go in one round trip, and many files of one folder as a
// scan of the folder where the phone can. A phone that answers with an
// error text instead is not asked again while the mount lasts.
class MediaScanner {
public:
    // Disabled, it takes the changes and does nothing with them.
    MediaScanner(AdbClient client, bool enabled);
    ~MediaScanner();
    MediaScanner(const MediaScanner &) = delete;
    MediaScanner &operator=(const MediaScanner &) = delete;

    // A file was created or its contents replaced, under its final name.
    void contentsChanged(const QString &devicePath);
    // An entry moved; what was at `from` is gone, what is at `to` is new.
    void moved(const QString &from, const QString &to);
    void removed(const QString &devicePath);

private:
    enum class Reason { contents, moveOrDelete };
    void enqueue(const QString &devicePath, Reason reason);
    void run(std::stop_token stop);
    void scan(const std::map<QString, Reason> &batch);

    const AdbClient client_;
    const bool enabled_;
    std::mutex mutex_;
    std::condition_variable_any arrived_;
    std::map<QString, Reason> pending_;
    std::chrono::steady_clock::time_point lastArrival_;
    // Only the worker touches these.
    std::optional<MediaIndexSetup> setup_;
    bool refused_ = false;
    // Last: stopped and joined before the rest goes.
    std::jthread worker_;
};
