#pragma once

#include "platform/fileprovider/host/replicated_extension.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>

#include <atomic>
#include <variant>

// An extension over a small tree held in memory, for tests of the host side
// of the layer. Identifiers are "id:" + the path below the root, so that
// nothing in the host can take them for paths. Answers come from the work
// queue, as a phone-backed extension's do.
class TreeExtension : public fileprovider::ReplicatedExtension {
public:
    struct Node {
        QString path;            // "/a/b"; "" for the root
        bool folder = false;
        QByteArray contents;
        std::optional<qint64> reportedSize;   // instead of the contents' size
        double modified = 0;
    };

    explicit TreeExtension(bool knowsChildIdentifiers = true) : knowsChildIdentifiers_(knowsChildIdentifiers) {}

    void addFolder(const QString &path, double modified = 1000);
    void addFile(const QString &path, const QByteArray &contents, double modified = 1000);
    void setReportedSize(const QString &path, qint64 size);
    // Every request about `path` fails with `error`.
    void failFor(const QString &path, const fileprovider::ProviderError &error);
    // Requests about `path` are never answered.
    void neverAnswer(const QString &path);
    // Listings come in pages of this many items.
    void setPageSize(int items) { pageSize_ = items; }
    void setStorage(fileprovider::StorageSpace space) { storage_ = space; }
    QString downloadFolder;

    std::atomic<int> lookups{0};
    std::atomic<int> listings{0};
    std::atomic<int> downloads{0};
    std::atomic<int> storageQueries{0};
    std::atomic<int> deletions{0};

    void invalidate() override {}
    fileprovider::ProgressPointer itemForIdentifier(const fileprovider::ItemIdentifier &identifier,
                                                    fileprovider::ItemCompletion completion) override;
    fileprovider::ProgressPointer fetchContentsForItemWithIdentifier(const fileprovider::ItemIdentifier &identifier,
                                                                     const std::optional<fileprovider::ItemVersion> &,
                                                                     fileprovider::FetchContentsCompletion completion) override;
    std::unique_ptr<fileprovider::Enumerator> enumeratorForContainerItemIdentifier(
        const fileprovider::ItemIdentifier &container) override;
    fileprovider::ProgressPointer storageSpace(fileprovider::StorageSpaceCompletion completion) override;
    fileprovider::ProgressPointer deleteItemWithIdentifier(const fileprovider::ItemIdentifier &identifier,
                                                           const fileprovider::ItemVersion &baseVersion,
                                                           fileprovider::DeleteItemOptions options,
                                                           fileprovider::DeleteItemCompletion completion) override;
    std::optional<fileprovider::ItemIdentifier> identifierForChild(const fileprovider::ItemIdentifier &parent,
                                                                   const QString &filename) const override;

    static fileprovider::ItemIdentifier identifierOf(const QString &path);
    static QString pathOf(const fileprovider::ItemIdentifier &identifier);

    // One listing page of `path`, from item `first` on.
    struct ListingPage {
        QList<fileprovider::ItemPointer> items;
        std::optional<fileprovider::Page> next;
    };
    std::variant<ListingPage, fileprovider::ProviderError> list(const QString &path, int first) const;

private:
    // What a request about `path` meets: none (go on), or an error.
    std::optional<fileprovider::ProviderError> obstacle(const QString &path, bool &hang) const;
    fileprovider::ItemPointer itemFor(const Node &node) const;

    bool knowsChildIdentifiers_;
    mutable QMutex mutex_;
    QHash<QString, Node> nodes_{{QString(), Node{QString(), true, {}, {}, 0}}};
    QHash<QString, fileprovider::ProviderError> failures_;
    QSet<QString> silent_;
    int pageSize_ = 1 << 30;
    std::optional<fileprovider::StorageSpace> storage_;
};
