#pragma once

#include <QString>

#include <exception>
#include <optional>
#include <string>

// A failure of an exchange with the adb server or the phone behind it.
class AdbClientError : public std::exception {
public:
    enum class Kind { requestFailed, protocolError, connectionFailed, phoneSilent };

    // `reason` is the server's or the phone's own text; the errno it
    // stands for is read from it, unless the phone gave its own.
    static AdbClientError requestFailed(const QString &reason, std::optional<int> phoneErrno = std::nullopt);
    // `what` says which rule of the wire format the peer broke.
    static AdbClientError protocolError(const QString &what);
    // `socketErrno`, when known, is what the socket call failed with.
    static AdbClientError connectionFailed(int socketErrno = 0);
    // Nothing came, or nothing was taken, for `seconds`.
    static AdbClientError phoneSilent(int seconds);

    Kind kind() const { return kind_; }
    // The text carried by requestFailed and protocolError; empty for the others.
    const QString &payload() const { return payload_; }
    // The POSIX error that names what happened, where one does.
    std::optional<int> errorNumber() const { return errorNumber_; }

    // The text shown to the user.
    QString description() const;
    const char *what() const noexcept override { return what_.c_str(); }
    // A refusal or a silent phone: asking again on a fresh connection would
    // only fail again, or wait as long again.
    bool recursOnAFreshConnection() const { return kind_ == Kind::requestFailed || kind_ == Kind::phoneSilent; }

private:
    AdbClientError(Kind kind, QString payload, std::optional<int> errorNumber);

    Kind kind_;
    QString payload_;
    std::optional<int> errorNumber_;
    std::string what_;
};

// The POSIX error behind a refusal text of the server or the phone, such as
// "open failed: Permission denied"; none when the text names no such cause.
std::optional<int> errnoOfRefusal(const QString &reason);
