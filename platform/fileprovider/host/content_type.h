#pragma once

#include <QString>

namespace fileprovider {

// A uniform type, named by its MIME type.
class ContentType {
public:
    explicit ContentType(QString identifier) : identifier_(std::move(identifier)) {}

    // Every folder, whatever its name.
    static ContentType folder();
    // Plain bytes: any file the registry knows no better type for.
    static ContentType data();

    const QString &identifier() const { return identifier_; }

    friend bool operator==(const ContentType &, const ContentType &) = default;

private:
    QString identifier_;
};

} // namespace fileprovider
