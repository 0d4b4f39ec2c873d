#pragma once

#include <QString>

#include <sys/stat.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace fileprovider {

// A downloaded copy held open for one handle of the mount. Reads come from
// it; it is removed when the handle is released.
struct OpenCopy {
    int fd = -1;
    QString localPath;
    QString mountPath;
    struct stat attributes{};   // the item's, with the copy's size
};

// Every open copy of the mount. The path-keyed side lets a lookup of an
// open file report the size the reader will really get, rather than the
// phone's 32-bit size field, so no reader stops short of the end.
class OpenCopies {
public:
    OpenCopies() = default;
    OpenCopies(const OpenCopies &) = delete;
    OpenCopies &operator=(const OpenCopies &) = delete;
    // Removes every copy still open (the mount went away under its readers).
    ~OpenCopies();

    // Takes over the descriptor and the file; the pointer stays valid until release().
    OpenCopy *adopt(OpenCopy copy);
    // Closes the descriptor and removes the file.
    void release(OpenCopy *copy);
    std::optional<qint64> openSize(const QString &mountPath) const;
    int count() const;

private:
    static void discard(OpenCopy &copy);

    mutable std::mutex mutex_;
    std::map<OpenCopy *, std::unique_ptr<OpenCopy>> copies_;
    std::multimap<QString, OpenCopy *> byPath_;
};

} // namespace fileprovider
