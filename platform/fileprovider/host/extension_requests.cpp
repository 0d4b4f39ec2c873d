#include "platform/fileprovider/host/extension_requests.h"

#include "platform/fileprovider/host/awaited.h"
#include "platform/fileprovider/host/work_queue.h"

#include <QMutex>

#include <cerrno>

namespace fileprovider {

namespace {

ProviderError brokenContract(const char *what) {
    return ProviderError::posix(EIO, QStringLiteral("The extension answered %1.").arg(QLatin1String(what)));
}

Outcome<ItemPointer> itemOutcome(ItemPointer item, const std::optional<ProviderError> &error) {
    if (error) return *error;
    if (!item) return brokenContract("with neither an item nor an error");
    return item;
}

// Gathers the items of one page and its end.
class PageObserver : public EnumerationObserver {
public:
    struct End {
        std::optional<Page> nextPage;
        std::optional<ProviderError> error;
    };

    void didEnumerateItems(const QList<ItemPointer> &items) override {
        QMutexLocker lock(&mutex_);
        items_.append(items);
    }
    void finishEnumeratingUpToPage(const std::optional<Page> &nextPage) override { end_->deliver(End{nextPage, std::nullopt}); }
    void finishEnumeratingWithError(const ProviderError &error) override { end_->deliver(End{std::nullopt, error}); }

    std::optional<End> waitForEnd(const std::function<bool()> &abandoned) { return end_->wait(abandoned); }
    QList<ItemPointer> takeItems() {
        QMutexLocker lock(&mutex_);
        return std::move(items_);
    }

private:
    QMutex mutex_;
    QList<ItemPointer> items_;
    AwaitedPointer<End> end_ = std::make_shared<Awaited<End>>();
};

} // namespace

ProviderError ExtensionRequests::abandonedError() {
    return ProviderError::posix(ESHUTDOWN, QStringLiteral("The mount is going away."));
}

Outcome<ItemPointer> ExtensionRequests::item(const ItemIdentifier &identifier) const {
    auto answer = std::make_shared<Awaited<Outcome<ItemPointer>>>();
    extension_.itemForIdentifier(identifier, [answer](ItemPointer item, const std::optional<ProviderError> &error) {
        answer->deliver(itemOutcome(std::move(item), error));
    });
    auto outcome = answer->wait(abandoned_);
    if (!outcome) return abandonedError();
    return std::move(*outcome);
}

Outcome<QList<ItemPointer>> ExtensionRequests::contents(const ItemIdentifier &container) const {
    std::unique_ptr<Enumerator> enumerator = extension_.enumeratorForContainerItemIdentifier(container);
    if (!enumerator) return brokenContract("with no enumerator");
    QList<ItemPointer> all;
    Page page = Page::initial();
    for (;;) {
        auto observer = std::make_shared<PageObserver>();
        enumerator->enumerateItemsForObserver(observer, page);
        const auto end = observer->waitForEnd(abandoned_);
        if (!end) return abandonedError();
        if (end->error) return *end->error;
        all.append(observer->takeItems());
        // A page that leads back to itself would list forever.
        if (!end->nextPage || *end->nextPage == page) break;
        page = *end->nextPage;
    }
    enumerator->invalidate();
    return all;
}

Outcome<Download> ExtensionRequests::download(const ItemIdentifier &identifier) const {
    auto answer = std::make_shared<Awaited<Outcome<Download>>>();
    extension_.fetchContentsForItemWithIdentifier(
        identifier, std::nullopt,
        [answer](const std::optional<QString> &localPath, ItemPointer item, const std::optional<ProviderError> &error) {
            if (error) return answer->deliver(*error);
            if (!localPath || !item) return answer->deliver(brokenContract("a download without a file or an item"));
            answer->deliver(Download{*localPath, std::move(item)});
        });
    auto outcome = answer->wait(abandoned_);
    if (!outcome) return abandonedError();
    return std::move(*outcome);
}

Outcome<OpenedContents> ExtensionRequests::openContents(const ItemIdentifier &identifier, ItemPointer knownItem) const {
    auto answer = std::make_shared<Awaited<Outcome<OpenedContents>>>();
    extension_.openContentsForItemWithIdentifier(
        identifier, std::move(knownItem), [answer](ContentStreamPointer stream, ItemPointer item, const std::optional<ProviderError> &error) {
            if (error) return answer->deliver(*error);
            if (!stream || !item) return answer->deliver(brokenContract("contents without a stream or an item"));
            answer->deliver(OpenedContents{std::move(stream), std::move(item)});
        });
    auto outcome = answer->wait(abandoned_);
    if (!outcome) return abandonedError();
    return std::move(*outcome);
}

Outcome<StorageSpace> ExtensionRequests::storageSpace() const {
    auto answer = std::make_shared<Awaited<Outcome<StorageSpace>>>();
    extension_.storageSpace([answer](const std::optional<StorageSpace> &space, const std::optional<ProviderError> &error) {
        if (error) return answer->deliver(*error);
        if (!space) return answer->deliver(brokenContract("with neither figures nor an error"));
        answer->deliver(*space);
    });
    auto outcome = answer->wait(abandoned_);
    if (!outcome) return abandonedError();
    return std::move(*outcome);
}

PendingChange ExtensionRequests::beginCreate(ItemPointer itemTemplate, const std::optional<ContentsFile> &newContents,
                                             CreateItemOptions options, bool besideCaller) const {
    noteChange();
    std::optional<WorkQueue::Beside> beside;
    if (besideCaller) beside.emplace();
    auto answer = std::make_shared<ChangeUnderWay>();
    const ItemFields fields = ItemField::filename | ItemField::parentItemIdentifier;
    answer->progress = extension_.createItemBasedOnTemplate(
        std::move(itemTemplate), fields, newContents, options,
        [answer](ItemPointer item, ItemFields, bool, const std::optional<ProviderError> &error) {
            answer->deliver(itemOutcome(std::move(item), error));
        });
    return answer;
}

PendingChange ExtensionRequests::beginModify(ItemPointer item, const ItemVersion &baseVersion, ItemFields changedFields,
                                             const std::optional<ContentsFile> &newContents, ModifyItemOptions options,
                                             bool besideCaller) const {
    noteChange();
    std::optional<WorkQueue::Beside> beside;
    if (besideCaller) beside.emplace();
    auto answer = std::make_shared<ChangeUnderWay>();
    answer->progress = extension_.modifyItem(std::move(item), baseVersion, changedFields, newContents, options,
                          [answer](ItemPointer changed, ItemFields, bool, const std::optional<ProviderError> &error) {
                              answer->deliver(itemOutcome(std::move(changed), error));
                          });
    return answer;
}

Outcome<ItemPointer> ExtensionRequests::finish(const PendingChange &change) const {
    auto outcome = change->wait(abandoned_);
    noteChange();
    if (!outcome) return abandonedError();
    return std::move(*outcome);
}

Outcome<ItemPointer> ExtensionRequests::create(ItemPointer itemTemplate, const std::optional<ContentsFile> &newContents) const {
    return finish(beginCreate(std::move(itemTemplate), newContents));
}

Outcome<ItemPointer> ExtensionRequests::modify(ItemPointer item, const ItemVersion &baseVersion, ItemFields changedFields,
                                               const std::optional<ContentsFile> &newContents) const {
    return finish(beginModify(std::move(item), baseVersion, changedFields, newContents));
}

std::optional<ProviderError> ExtensionRequests::remove(const ItemIdentifier &identifier, const ItemVersion &baseVersion) const {
    noteChange();
    auto answer = std::make_shared<Awaited<std::optional<ProviderError>>>();
    extension_.deleteItemWithIdentifier(identifier, baseVersion, {},
                                        [answer](const std::optional<ProviderError> &error) { answer->deliver(error); });
    auto outcome = answer->wait(abandoned_);
    noteChange();
    if (!outcome) return abandonedError();
    return *outcome;
}

Outcome<ItemIdentifier> ExtensionRequests::childIdentifier(const ItemIdentifier &parent, const QString &filename) const {
    if (auto known = extension_.identifierForChild(parent, filename)) return *known;
    auto listing = contents(parent);
    if (auto *error = std::get_if<ProviderError>(&listing)) return *error;
    for (const ItemPointer &child : std::get<QList<ItemPointer>>(listing)) {
        if (child->filename() == filename) return child->itemIdentifier();
    }
    return ProviderError::fileProvider(FileProviderErrorCode::noSuchItem);
}

} // namespace fileprovider
