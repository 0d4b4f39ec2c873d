#pragma once

#include "platform/fileprovider/host/item.h"
#include "platform/fileprovider/host/outcome.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <optional>

namespace fileprovider {

// The bytes of one file as an extension serves them while they travel: in
// order from the start, and any range on demand. readNext is called by one
// thread at a time; readRange may run beside it on others. Both block.
class ContentStream {
public:
    virtual ~ContentStream() = default;
    // The next bytes of the file, at most `capacity`; 0 at its end.
    virtual Outcome<qsizetype> readNext(char *into, qsizetype capacity) = 0;
    // `length` bytes from `offset`, fewer only where the file ends.
    virtual Outcome<QByteArray> readRange(qint64 offset, qint64 length) = 0;
    // From any thread: a readNext waiting for bytes ends with an error.
    virtual void cancel() = 0;
    // Where the stream knows the file's size better than its item (a whole
    // local copy does).
    virtual std::optional<qint64> knownSize() const { return std::nullopt; }
    // Every byte is already here: readNext never waits.
    virtual bool arrivedWhole() const { return false; }
};

using ContentStreamPointer = std::shared_ptr<ContentStream>;
// The file's real size is the stream's known size, else the item's.
using OpenContentsCompletion =
    std::function<void(ContentStreamPointer stream, ItemPointer item, const std::optional<ProviderError> &error)>;

} // namespace fileprovider
