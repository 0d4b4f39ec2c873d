#pragma once

#include <QString>

#include <exception>
#include <string>

// A failure of the file-provider layer; description() is the text the user sees.
class FileProviderError : public std::exception {
public:
    enum class Kind {
        invalidIdentifier,
        alreadyAdded,
        notRegistered,
        programMissing,
        programFailedToStart,
        programExited,
        mountNotLive,
        storageFailed,
        unmountFailed,
    };

    FileProviderError(Kind kind, QString description);

    Kind kind() const { return kind_; }
    const QString &description() const { return description_; }
    const char *what() const noexcept override { return what_.c_str(); }

private:
    Kind kind_;
    QString description_;
    std::string what_;
};
