#pragma once

#include <QString>

#include <exception>
#include <string>

// A failure of an exchange with the adb server or the phone behind it.
class AdbClientError : public std::exception {
public:
    enum class Kind { requestFailed, protocolError, connectionFailed, phoneSilent };

    // `reason` is the server's or the phone's own text.
    static AdbClientError requestFailed(const QString &reason);
    // `what` says which rule of the wire format the peer broke.
    static AdbClientError protocolError(const QString &what);
    static AdbClientError connectionFailed();
    // Nothing came, or nothing was taken, for `seconds`.
    static AdbClientError phoneSilent(int seconds);

    Kind kind() const { return kind_; }
    // The text carried by requestFailed and protocolError; empty for the others.
    const QString &payload() const { return payload_; }

    // The text shown to the user.
    QString description() const;
    const char *what() const noexcept override { return what_.c_str(); }
    // A refusal or a silent phone: asking again on a fresh connection would
    // only fail again, or wait as long again.
    bool recursOnAFreshConnection() const { return kind_ == Kind::requestFailed || kind_ == Kind::phoneSilent; }

private:
    AdbClientError(Kind kind, QString payload);

    Kind kind_;
    QString payload_;
    std::string what_;
};
