#pragma once

#include <QString>

namespace testsupport {

// A fresh folder under the system's temporary directory, removed with
// everything in it when the value goes away.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const QString &path() const { return path_; }
    QString file(const QString &relative) const { return path_ + '/' + relative; }

private:
    QString path_;
};

// Writes `size` deterministic pseudo-random bytes to `path` (parents made),
// streaming, so large files cost no memory. Returns the hex SHA-256.
QString writePatternFile(const QString &path, qint64 size, quint32 seed = 1);
// Hex SHA-256 of a file, streaming; empty when it cannot be read.
QString sha256OfFile(const QString &path);

} // namespace testsupport
