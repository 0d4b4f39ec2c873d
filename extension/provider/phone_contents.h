#pragma once

#include "extension/adbclient/adb_client.h"
#include "platform/fileprovider/host/content_stream.h"

#include <QString>

#include <mutex>
#include <optional>

// A phone file's bytes for the system's readers: the sync transfer in
// order, and ranges read with dd through "exec:". Where dd gives nothing
// usable, a range comes from a transfer of its own instead.
class PhoneContents : public fileprovider::ContentStream {
public:
    // A file reported smaller than this is read whole at once: the end of
    // its transfer tells its size, so it needs no probe of its own.
    static constexpr qint64 smallFileLimit = 1 << 16;

    // `head` holds the transfer's first bytes, already read from it.
    // Without a transfer, one starts at the first readNext.
    PhoneContents(AdbClient client, QString path, qint64 size, std::optional<PullStream> transfer, QByteArray head = {});
    // Goes on with the started transfer (if any) of a file that STAT
    // reported as `reported` bytes, and settles its real size unless the
    // report was `whole` (a 64-bit record). A small file is read whole at
    // once; a large one without a transfer starts one only when its bytes
    // are first wanted in order.
    static std::shared_ptr<PhoneContents> open(const AdbClient &client, const QString &path, qint64 reported,
                                               std::optional<PullStream> transfer, bool whole = false);

    fileprovider::Outcome<qsizetype> readNext(char *into, qsizetype capacity) override;
    fileprovider::Outcome<QByteArray> readRange(qint64 offset, qint64 length) override;
    void cancel() override;
    std::optional<qint64> knownSize() const override { return size_; }
    bool arrivedWhole() const override { return head_.size() == size_; }

    // The file's real size: `reported` is what STAT said, modulo 2^32.
    static qint64 realSize(const AdbClient &client, const QString &path, qint64 reported);

private:
    QByteArray rangeFromTransfer(qint64 offset, qint64 length) const;

    const AdbClient client_;
    const QString path_;
    const qint64 size_;
    std::mutex transferMutex_;
    std::optional<PullStream> transfer_;
    bool cancelled_ = false;
    const QByteArray head_;
    qsizetype headRead_ = 0;
};
