#pragma once

#include "extension/adbclient/adb_client.h"
#include "extension/adbclient/adb_entry.h"
#include "platform/fileprovider/host/contents_file.h"

#include <QString>

#include <optional>
#include <utility>

// The three things a change does on the phone. Failures are thrown as the
// client throws them.
class PhoneAccess {
public:
    virtual ~PhoneAccess() = default;
    virtual QString shell(const QString &command) const = 0;
    virtual std::optional<AdbEntry> stat(const QString &path) const = 0;
    // stat of both, in order; asked at once where the phone allows.
    virtual std::pair<std::optional<AdbEntry>, std::optional<AdbEntry>> statBoth(const QString &first, const QString &second) const {
        return {stat(first), stat(second)};
    }
    virtual AdbClient::Sent push(const fileprovider::ContentsFile &source, const QString &path, quint32 mode,
                                 const AdbClient::ModifiedAtEnd &modifiedAtEnd, const AdbClient::StreamEnd &streamComplete) const = 0;
};

// Through the adb server; every call is a connection of its own. A change
// checks the entry itself, never where a link leads.
class AdbPhoneAccess : public PhoneAccess {
public:
    explicit AdbPhoneAccess(AdbClient client) : client_(std::move(client)) {}
    QString shell(const QString &command) const override { return client_.shell(command); }
    std::optional<AdbEntry> stat(const QString &path) const override { return client_.stat(path, AdbClient::Links::asThemselves); }
    std::pair<std::optional<AdbEntry>, std::optional<AdbEntry>> statBoth(const QString &first, const QString &second) const override {
        const QList<std::optional<AdbEntry>> entries = client_.statAll({first, second}, AdbClient::Links::asThemselves);
        return {entries[0], entries[1]};
    }
    AdbClient::Sent push(const fileprovider::ContentsFile &source, const QString &path, quint32 mode,
                         const AdbClient::ModifiedAtEnd &modifiedAtEnd, const AdbClient::StreamEnd &streamComplete) const override {
        LocalFile file = LocalFile::readingFrom(source.descriptor(), source.name());
        return client_.push(file, path, mode, modifiedAtEnd, streamComplete);
    }

private:
    AdbClient client_;
};
