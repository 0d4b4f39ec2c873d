#include "platform/fileprovider/host/type_registry.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

namespace fileprovider {

ContentType ContentType::folder() { return ContentType(QStringLiteral("inode/directory")); }

ContentType ContentType::data() { return ContentType(QStringLiteral("application/octet-stream")); }

namespace {

// inode/* are folders, devices and links; x-content/* and all/* describe
// whole volumes or wildcards. None of them is a file's bytes.
bool holdsBytes(const QMimeType &type) {
    const QString name = type.name();
    return !name.startsWith(QLatin1String("inode/")) && !name.startsWith(QLatin1String("x-content/")) &&
           !name.startsWith(QLatin1String("all/"));
}

} // namespace

namespace {

std::optional<ContentType> lookUp(const QString &extension) {
    static const QMimeDatabase database;
    // Only the extension is asked about, not the whole name: "a.tar.gz" is a
    // gzip file here, as it is to any registry keyed by extension.
    const QList<QMimeType> candidates = database.mimeTypesForFileName(QStringLiteral("x.") + extension);
    for (const QMimeType &candidate : candidates) {
        if (candidate.isValid() && holdsBytes(candidate) && !candidate.isDefault()) return ContentType(candidate.name());
    }
    return std::nullopt;
}

} // namespace

std::optional<ContentType> TypeRegistry::dataTypeForFilenameExtension(const QString &extension) {
    if (extension.isEmpty()) return std::nullopt;
    // Folders of thousands of files ask about the same few extensions; the
    // database's glob matching is far slower than a hash.
    static QMutex mutex;
    static QHash<QString, std::optional<ContentType>> known;
    QMutexLocker lock(&mutex);
    auto found = known.constFind(extension);
    if (found != known.constEnd()) return *found;
    if (known.size() > 4096) known.clear();
    return *known.insert(extension, lookUp(extension));
}

} // namespace fileprovider
