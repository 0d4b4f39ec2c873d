#pragma once

#include <QString>

#include <exception>
#include <string>

// A failure of an exchange with the adb server or the phone behind it.
class AdbClientError : public std::exception {
public:
    enum class Kind { requestFailed, protocolError, connectionFailed };

    // `reason` is the server's or the phone's own text.
    static AdbClientError requestFailed(const QString &reason);
    // `what` says which rule of the wire format the peer broke.
    static AdbClientError protocolError(const QString &what);
    static AdbClientError connectionFailed();

    Kind kind() const { return kind_; }
    // The text carried by requestFailed and protocolError; empty for connectionFailed.
    const QString &payload() const { return payload_; }

    // The text shown to the user.
    QString description() const;
    const char *what() const noexcept override { return what_.c_str(); }

private:
    AdbClientError(Kind kind, QString payload);

    Kind kind_;
    QString payload_;
    std::string what_;
};
