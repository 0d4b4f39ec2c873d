#pragma once

#include <QString>

#include <system_error>

// A local file of a download or an upload could not be opened, written or
// read. Carries the platform's errno, so callers can map it as they map any
// other file error.
class LocalFileError : public std::system_error {
public:
    LocalFileError(int errorNumber, const QString &path);

    const QString &path() const { return path_; }
    // The text shown to the user: the path and the platform's own reason.
    QString description() const;

private:
    QString path_;
};
