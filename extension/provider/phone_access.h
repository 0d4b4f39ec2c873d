#pragma once

#include "extension/adbclient/adb_client.h"
#include "extension/adbclient/adb_entry.h"

#include <QString>

#include <optional>

// The three things a change does on the phone. Failures are thrown as the
// client throws them.
class PhoneAccess {
public:
    virtual ~PhoneAccess() = default;
    virtual QString shell(const QString &command) const = 0;
    virtual std::optional<AdbEntry> stat(const QString &path) const = 0;
    virtual AdbClient::Sent push(const QString &source, const QString &path, quint32 mode,
                                 const AdbClient::ModifiedAtEnd &modifiedAtEnd) const = 0;
};

// Through the adb server; every call is a connection of its own.
class AdbPhoneAccess : public PhoneAccess {
public:
    explicit AdbPhoneAccess(AdbClient client) : client_(std::move(client)) {}
    QString shell(const QString &command) const override { return client_.shell(command); }
    std::optional<AdbEntry> stat(const QString &path) const override { return client_.stat(path); }
    AdbClient::Sent push(const QString &source, const QString &path, quint32 mode,
                         const AdbClient::ModifiedAtEnd &modifiedAtEnd) const override {
        return client_.push(source, path, mode, modifiedAtEnd);
    }

private:
    AdbClient client_;
};
