#include "extension/provider/media_scanner.h"

#include "extension/adbclient/adb_client_error.h"

#include <QMap>

#include <cstdio>

namespace {

// A copy of many files comes in a stream of changes: they are taken
// together once it pauses, or at the latest after a while.
constexpr auto quietFor = std::chrono::milliseconds(300);
constexpr auto waitAtMost = std::chrono::seconds(3);
// From this many files of one folder in a batch, the folder is scanned once.
constexpr int folderScanFrom = 4;

QString parentOf(const QString &path) { return path.left(path.lastIndexOf(u'/')); }

} // namespace

MediaScanner::MediaScanner(AdbClient client, bool enabled) : client_(std::move(client)), enabled_(enabled) {
    if (enabled_) worker_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

MediaScanner::~MediaScanner() {
    worker_.request_stop();
    if (worker_.joinable()) worker_.join();
}

void MediaScanner::contentsChanged(const QString &devicePath) { enqueue(devicePath, Reason::contents); }

void MediaScanner::moved(const QString &from, const QString &to) {
    enqueue(from, Reason::moveOrDelete);
    enqueue(to, Reason::moveOrDelete);
}

void MediaScanner::removed(const QString &devicePath) { enqueue(devicePath, Reason::moveOrDelete); }

void MediaScanner::enqueue(const QString &devicePath, Reason reason) {
    if (!enabled_ || !isMediaCandidate(devicePath)) return;
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = pending_.empty();
        auto [entry, added] = pending_.try_emplace(devicePath, reason);
        // New contents need a scan on every phone, a move only on older ones.
        if (!added && reason == Reason::contents) entry->second = reason;
        lastArrival_ = std::chrono::steady_clock::now();
    }
    // Later arrivals only move the deadline, which the worker reads when it wakes.
    if (first) arrived_.notify_one();
}

void MediaScanner::run(std::stop_token stop) {
    for (;;) {
        std::map<QString, Reason> batch;
        {
            std::unique_lock lock(mutex_);
            if (!arrived_.wait(lock, stop, [this] { return !pending_.empty(); })) return;
            const auto latest = std::chrono::steady_clock::now() + waitAtMost;
            for (;;) {
                const auto until = std::min(lastArrival_ + quietFor, latest);
                if (stop.stop_requested()) return;
                if (std::chrono::steady_clock::now() >= until) break;
                // Woken by new arrivals too; the deadline moves with them.
                arrived_.wait_until(lock, stop, until, [] { return false; });
            }
            batch.swap(pending_);
        }
        if (!refused_) scan(batch);
    }
}

void MediaScanner::scan(const std::map<QString, Reason> &batch) {
    try {
        if (!setup_) {
            const QString output = client_.shell(mediaIndexSetupCommand());
            setup_ = readMediaIndexSetup(output);
            if (!setup_) {
                refused_ = true;
                std::fprintf(stderr, "VaneFileProvider: the phone's media index is not told of changes: %s\n",
                             qPrintable(output.trimmed().left(200)));
                return;
            }
        }
        QMap<QString, QStringList> byFolder;
        for (const auto &[path, reason] : batch) {
            if (reason == Reason::contents || scansMovesAndDeletes(*setup_)) byFolder[parentOf(path)].append(path);
        }
        QStringList paths;
        for (auto folder = byFolder.cbegin(); folder != byFolder.cend(); ++folder) {
            if (scansFolders(*setup_) && folder.value().size() >= folderScanFrom) paths.append(folder.key());
            else paths.append(folder.value());
        }
        for (const QString &line : mediaScanCommandLines(*setup_, paths)) {
            const QString output = client_.shell(line);
            if (!mediaScanAccepted(*setup_, output)) {
                refused_ = true;
                std::fprintf(stderr, "VaneFileProvider: the phone refused to scan new files; not asked again: %s\n",
                             qPrintable(output.trimmed().left(200)));
                return;
            }
        }
    } catch (const AdbClientError &error) {
        // A phone away for now: these paths go unscanned, later ones are tried.
        std::fprintf(stderr, "VaneFileProvider: telling the phone's media index failed: %s\n", qPrintable(error.description()));
    }
}
