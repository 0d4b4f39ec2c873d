#include "tests/platform/fileprovider/host/tree_extension.h"

#include "platform/fileprovider/host/work_queue.h"

#include <QFile>
#include <QSet>
#include <QUuid>

using namespace fileprovider;

namespace {

class TreeItem : public Item {
public:
    TreeItem(TreeExtension::Node node) : node_(std::move(node)) {}
    ItemIdentifier itemIdentifier() const override {
        return node_.path.isEmpty() ? ItemIdentifier::rootContainer() : TreeExtension::identifierOf(node_.path);
    }
    ItemIdentifier parentItemIdentifier() const override {
        const QString parent = node_.path.left(std::max<qsizetype>(0, node_.path.lastIndexOf(u'/')));
        return parent.isEmpty() ? ItemIdentifier::rootContainer() : TreeExtension::identifierOf(parent);
    }
    QString filename() const override { return node_.path.mid(node_.path.lastIndexOf(u'/') + 1); }
    ContentType contentType() const override { return node_.folder ? ContentType::folder() : ContentType::data(); }
    std::optional<qint64> documentSize() const override {
        if (node_.folder) return std::nullopt;
        return node_.reportedSize.value_or(node_.contents.size());
    }
    std::optional<Timestamp> contentModificationDate() const override { return node_.modified; }
    ItemCapabilities capabilities() const override { return ItemCapability::allowsReading | ItemCapability::allowsWriting; }
    ItemVersion itemVersion() const override { return {QByteArray::number(node_.modified), QByteArray::number(node_.modified)}; }

private:
    TreeExtension::Node node_;
};

class TreeEnumerator : public Enumerator {
public:
    TreeEnumerator(const TreeExtension &tree, QString path) : tree_(tree), path_(std::move(path)) {}
    void invalidate() override {}
    void enumerateItemsForObserver(EnumerationObserverPointer observer, const Page &startPage) override {
        const int first = startPage.bytes.isEmpty() ? 0 : startPage.bytes.toInt();
        WorkQueue::global(QualityOfService::userInitiated).async([observer, first, tree = &tree_, path = path_] {
            auto page = tree->list(path, first);
            if (auto *error = std::get_if<ProviderError>(&page)) return observer->finishEnumeratingWithError(*error);
            auto &items = std::get<TreeExtension::ListingPage>(page);
            // Pages may come in more than one call.
            const qsizetype half = items.items.size() / 2;
            observer->didEnumerateItems(items.items.mid(0, half));
            observer->didEnumerateItems(items.items.mid(half));
            observer->finishEnumeratingUpToPage(items.next);
        });
    }
    void enumerateChangesForObserver(ChangeObserverPointer observer, const SyncAnchor &anchor) override {
        observer->finishEnumeratingChangesUpToSyncAnchor(anchor, false);
    }
    void currentSyncAnchor(const SyncAnchorCompletion &completion) override { completion(SyncAnchor{"tree"}); }

private:
    const TreeExtension &tree_;
    QString path_;
};

} // namespace

ItemIdentifier TreeExtension::identifierOf(const QString &path) { return ItemIdentifier("id:" + path); }

QString TreeExtension::pathOf(const ItemIdentifier &identifier) {
    if (identifier == ItemIdentifier::rootContainer()) return QString();
    return identifier.text().mid(3);
}

void TreeExtension::addFolder(const QString &path, double modified) {
    QMutexLocker lock(&mutex_);
    nodes_.insert(path, Node{path, true, {}, {}, modified});
}

void TreeExtension::addFile(const QString &path, const QByteArray &contents, double modified) {
    QMutexLocker lock(&mutex_);
    nodes_.insert(path, Node{path, false, contents, {}, modified});
}

void TreeExtension::setReportedSize(const QString &path, qint64 size) {
    QMutexLocker lock(&mutex_);
    nodes_[path].reportedSize = size;
}

void TreeExtension::failFor(const QString &path, const ProviderError &error) {
    QMutexLocker lock(&mutex_);
    failures_.insert(path, error);
}

void TreeExtension::neverAnswer(const QString &path) {
    QMutexLocker lock(&mutex_);
    silent_.insert(path);
}

std::optional<ProviderError> TreeExtension::obstacle(const QString &path, bool &hang) const {
    QMutexLocker lock(&mutex_);
    hang = silent_.contains(path);
    if (failures_.contains(path)) return failures_.value(path);
    if (!nodes_.contains(path)) return ProviderError::fileProvider(FileProviderErrorCode::noSuchItem);
    return std::nullopt;
}

ItemPointer TreeExtension::itemFor(const Node &node) const { return std::make_shared<TreeItem>(node); }

std::variant<TreeExtension::ListingPage, ProviderError> TreeExtension::list(const QString &path, int first) const {
    bool hang = false;
    if (auto error = obstacle(path, hang)) return *error;
    QMutexLocker lock(&mutex_);
    QList<ItemPointer> children;
    for (const Node &node : nodes_) {
        if (!node.path.isEmpty() && node.path.left(node.path.lastIndexOf(u'/')) == path) children.append(itemFor(node));
    }
    std::sort(children.begin(), children.end(), [](const ItemPointer &a, const ItemPointer &b) { return a->filename() < b->filename(); });
    ListingPage page;
    page.items = children.mid(first, pageSize_);
    if (first + pageSize_ < children.size()) page.next = Page{QByteArray::number(first + pageSize_)};
    return page;
}

ProgressPointer TreeExtension::itemForIdentifier(const ItemIdentifier &identifier, ItemCompletion completion) {
    ++lookups;
    WorkQueue::global(QualityOfService::userInitiated).async([this, path = pathOf(identifier), completion] {
        bool hang = false;
        if (auto error = obstacle(path, hang)) return completion(nullptr, *error);
        if (hang) return;
        QMutexLocker lock(&mutex_);
        completion(itemFor(nodes_.value(path)), std::nullopt);
    });
    return makeProgress();
}

ProgressPointer TreeExtension::fetchContentsForItemWithIdentifier(const ItemIdentifier &identifier, const std::optional<ItemVersion> &,
                                                                  FetchContentsCompletion completion) {
    ++downloads;
    WorkQueue::global(QualityOfService::userInitiated).async([this, path = pathOf(identifier), completion] {
        bool hang = false;
        if (auto error = obstacle(path, hang)) return completion(std::nullopt, nullptr, *error);
        if (hang) return;
        Node node;
        {
            QMutexLocker lock(&mutex_);
            node = nodes_.value(path);
        }
        const QString local = downloadFolder + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QFile file(local);
        if (!file.open(QIODevice::WriteOnly) || file.write(node.contents) != node.contents.size()) {
            return completion(std::nullopt, nullptr, ProviderError::posix(EIO));
        }
        file.close();
        completion(local, itemFor(node), std::nullopt);
    });
    return makeProgress();
}

std::unique_ptr<Enumerator> TreeExtension::enumeratorForContainerItemIdentifier(const ItemIdentifier &container) {
    ++listings;
    return std::make_unique<TreeEnumerator>(*this, pathOf(container));
}

ProgressPointer TreeExtension::storageSpace(StorageSpaceCompletion completion) {
    ++storageQueries;
    if (!storage_) return ReplicatedExtension::storageSpace(std::move(completion));
    completion(*storage_, std::nullopt);
    return makeProgress();
}

ProgressPointer TreeExtension::deleteItemWithIdentifier(const ItemIdentifier &identifier, const ItemVersion &baseVersion,
                                                        DeleteItemOptions options, DeleteItemCompletion completion) {
    ++deletions;
    return ReplicatedExtension::deleteItemWithIdentifier(identifier, baseVersion, options, std::move(completion));
}

std::optional<ItemIdentifier> TreeExtension::identifierForChild(const ItemIdentifier &parent, const QString &filename) const {
    if (!knowsChildIdentifiers_) return std::nullopt;
    return identifierOf(pathOf(parent) + u'/' + filename);
}
