#pragma once

#include <QString>

#include <utility>

// One registration with the file-provider layer: the identifier the host
// program is started with and the name the user sees for its folder.
class FileProviderDomain {
public:
    FileProviderDomain(QString identifier, QString displayName)
        : identifier_(std::move(identifier)), displayName_(std::move(displayName)) {}

    const QString &identifier() const { return identifier_; }
    const QString &displayName() const { return displayName_; }

    friend bool operator==(const FileProviderDomain &, const FileProviderDomain &) = default;

private:
    QString identifier_;
    QString displayName_;
};
