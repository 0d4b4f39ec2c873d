#pragma once

#include "platform/fileprovider/host/enumeration.h"

#include <QList>
#include <QStringList>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <optional>

// Observers that write down every call, for the extension's answers to be
// checked once the listing has ended.
class RecordingEnumerationObserver : public fileprovider::EnumerationObserver {
public:
    void didEnumerateItems(const QList<fileprovider::ItemPointer> &items) override {
        std::lock_guard lock(mutex_);
        calls.append("didEnumerateItems");
        this->items.append(items);
    }
    void finishEnumeratingUpToPage(const std::optional<fileprovider::Page> &page) override {
        std::lock_guard lock(mutex_);
        calls.append("finishEnumeratingUpToPage");
        nextPage = page;
        finish();
    }
    void finishEnumeratingWithError(const fileprovider::ProviderError &error) override {
        std::lock_guard lock(mutex_);
        calls.append("finishEnumeratingWithError");
        this->error = error;
        finish();
    }

    // True once a finishing call came, within `seconds`.
    bool waitForEnd(int seconds = 20) {
        std::unique_lock lock(mutex_);
        return ended_.wait_for(lock, std::chrono::seconds(seconds), [this] { return finished_; });
    }

    QStringList calls;
    QList<fileprovider::ItemPointer> items;
    std::optional<fileprovider::Page> nextPage;
    std::optional<fileprovider::ProviderError> error;
    QThread *finishingThread = nullptr;

private:
    void finish() {
        finished_ = true;
        finishingThread = QThread::currentThread();
        ended_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable ended_;
    bool finished_ = false;
};

class RecordingChangeObserver : public fileprovider::ChangeObserver {
public:
    void didUpdateItems(const QList<fileprovider::ItemPointer> &) override { calls.append("didUpdateItems"); }
    void didDeleteItemsWithIdentifiers(const QList<fileprovider::ItemIdentifier> &) override { calls.append("didDelete"); }
    void finishEnumeratingChangesUpToSyncAnchor(const fileprovider::SyncAnchor &anchor, bool moreComing) override {
        calls.append("finishEnumeratingChangesUpToSyncAnchor");
        this->anchor = anchor;
        this->moreComing = moreComing;
    }
    void finishEnumeratingWithError(const fileprovider::ProviderError &) override { calls.append("finishEnumeratingWithError"); }

    QStringList calls;
    std::optional<fileprovider::SyncAnchor> anchor;
    bool moreComing = true;
};
