#include "platform/fileprovider/host/fuse_bridge.h"

#include "platform/fileprovider/host/errno_mapping.h"
#include "platform/fileprovider/host/item_attributes.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace fileprovider {

namespace {

constexpr unsigned long reportedBlockSize = 4096;
constexpr unsigned long longestName = 255;

QString mountPathOf(const char *path) { return path ? QString::fromUtf8(path) : QString(); }

QString parentMountPath(const QString &mountPath) {
    const qsizetype slash = mountPath.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : mountPath.left(slash);
}

QString lastComponent(const QString &mountPath) { return mountPath.mid(mountPath.lastIndexOf(u'/') + 1); }

// Names the kernel cannot be given: they would break the path syntax.
bool isListableName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/') &&
           !name.contains(QChar(u'\0'));
}

// The parts of a new or changed item that the system fills in for a
// request: where it goes, its name and its kind.
class TemplateItem : public Item {
public:
    TemplateItem(ItemIdentifier identifier, ItemIdentifier parent, QString filename, ContentType type)
        : identifier_(std::move(identifier)), parent_(std::move(parent)), filename_(std::move(filename)), type_(std::move(type)) {}

    ItemIdentifier itemIdentifier() const override { return identifier_; }
    ItemIdentifier parentItemIdentifier() const override { return parent_; }
    QString filename() const override { return filename_; }
    ContentType contentType() const override { return type_; }
    ItemVersion itemVersion() const override { return {}; }

private:
    ItemIdentifier identifier_;
    ItemIdentifier parent_;
    QString filename_;
    ContentType type_;
};

} // namespace

FuseBridge::FuseBridge(ReplicatedExtension &extension)
    : requests_(extension, [this] { return abandoned_.load(); }), owner_(::getuid()), group_(::getgid()) {}

int FuseBridge::fail(const char *operation, const QString &mountPath, const ProviderError &error) {
    const int errorNumber = errnoFor(error);
    // A lookup of a name that is not there is an answer, not a failure;
    // shells and file managers probe for such names all the time.
    if (!error.is(FileProviderErrorCode::noSuchItem)) {
        std::fprintf(stderr, "VaneFileProvider: %s %s failed: %s\n", operation, qPrintable(mountPath),
                     qPrintable(error.description));
    }
    return -errorNumber;
}

Outcome<ItemIdentifier> FuseBridge::identifierFor(const QString &mountPath) const {
    ItemIdentifier identifier = ItemIdentifier::rootContainer();
    const QStringList components = mountPath.split(u'/', Qt::SkipEmptyParts);
    for (const QString &component : components) {
        auto child = requests_.childIdentifier(identifier, component);
        if (auto *error = std::get_if<ProviderError>(&child)) return *error;
        identifier = std::get<ItemIdentifier>(std::move(child));
    }
    return identifier;
}

Outcome<ItemPointer> FuseBridge::itemAt(const QString &mountPath) const {
    auto identifier = identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&identifier)) return *error;
    return requests_.item(std::get<ItemIdentifier>(identifier));
}

int FuseBridge::getattr(const char *path, struct stat *attributes, fuse_file_info *file) {
    if (file && file->fh) {
        *attributes = reinterpret_cast<OpenCopy *>(file->fh)->attributes;
        return 0;
    }
    const QString mountPath = mountPathOf(path);
    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("lookup of", mountPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    *attributes = attributesFor(*found, owner_, group_, found->isFolder() ? std::nullopt : openCopies_.openSize(mountPath));
    return 0;
}

namespace {

// An open folder: its listing as the kernel is given it.
struct FolderListing {
    struct Entry {
        QByteArray name;
        std::optional<struct stat> attributes;
    };
    std::vector<Entry> entries;
};

} // namespace

int FuseBridge::opendir(const char *path, fuse_file_info *folder) {
    const QString mountPath = mountPathOf(path);
    auto container = identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&container)) return fail("listing of", mountPath, *error);
    auto listing = requests_.contents(std::get<ItemIdentifier>(container));
    if (auto *error = std::get_if<ProviderError>(&listing)) return fail("listing of", mountPath, *error);

    auto opened = std::make_unique<FolderListing>();
    const QList<ItemPointer> &children = std::get<QList<ItemPointer>>(listing);
    opened->entries.reserve(children.size() + 2);
    opened->entries.push_back({".", std::nullopt});
    opened->entries.push_back({"..", std::nullopt});
    const QString prefix = mountPath.endsWith(u'/') ? mountPath : mountPath + u'/';
    for (const ItemPointer &child : children) {
        const QString name = child->filename();
        if (!isListableName(name)) continue;
        const std::optional<qint64> openSize = child->isFolder() ? std::nullopt : openCopies_.openSize(prefix + name);
        opened->entries.push_back({name.toUtf8(), attributesFor(*child, owner_, group_, openSize)});
    }
    folder->fh = reinterpret_cast<uint64_t>(opened.release());
    return 0;
}

int FuseBridge::readdir(void *buffer, fuse_fill_dir_t filler, off_t offset, fuse_file_info *folder) {
    const auto *listing = reinterpret_cast<const FolderListing *>(folder->fh);
    if (!listing) return -EBADF;
    // Each entry's offset is the position after it. With offsets, libfuse
    // hands the attributes on to the kernel; without, it drops them and
    // the kernel looks every entry up again.
    for (size_t index = std::max<off_t>(offset, 0); index < listing->entries.size(); ++index) {
        const FolderListing::Entry &entry = listing->entries[index];
        const struct stat *attributes = entry.attributes ? &*entry.attributes : nullptr;
        const auto flags = attributes ? FUSE_FILL_DIR_PLUS : fuse_fill_dir_flags{};
        if (filler(buffer, entry.name.constData(), attributes, static_cast<off_t>(index + 1), flags) != 0) break;
    }
    return 0;
}

int FuseBridge::releasedir(fuse_file_info *folder) {
    delete reinterpret_cast<FolderListing *>(folder->fh);
    folder->fh = 0;
    return 0;
}

int FuseBridge::open(const char *path, fuse_file_info *file) {
    const QString mountPath = mountPathOf(path);
    if ((file->flags & O_ACCMODE) != O_RDONLY || (file->flags & O_TRUNC)) return -EROFS;
    auto identifier = identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&identifier)) return fail("opening of", mountPath, *error);
    auto download = requests_.download(std::get<ItemIdentifier>(identifier));
    if (auto *error = std::get_if<ProviderError>(&download)) return fail("download of", mountPath, *error);
    const Download &fetched = std::get<Download>(download);

    const QByteArray localPath = QFile::encodeName(fetched.localPath);
    const int fd = ::open(localPath.constData(), O_RDONLY | O_CLOEXEC);
    struct stat copyAttributes{};
    if (fd < 0 || ::fstat(fd, &copyAttributes) != 0) {
        const int errorNumber = errno;
        if (fd >= 0) ::close(fd);
        QFile::remove(fetched.localPath);
        return fail("opening the download of", mountPath, ProviderError::posix(errorNumber));
    }
    OpenCopy copy;
    copy.fd = fd;
    copy.localPath = fetched.localPath;
    copy.mountPath = mountPath;
    // The copy's own size, never the phone's: its size field has 32 bits.
    copy.attributes = attributesFor(*fetched.item, owner_, group_, copyAttributes.st_size);
    copy.attributes.st_mode = S_IFREG | (copy.attributes.st_mode & 07777);
    file->fh = reinterpret_cast<uint64_t>(openCopies_.adopt(std::move(copy)));
    file->keep_cache = 0;
    // What the kernel last heard about the size may be out of date; make it
    // ask again, so reads go on to the end of the copy.
    if (fuse_context *context = fuse_get_context(); context && context->fuse) {
        fuse_invalidate_path(context->fuse, path);
    }
    return 0;
}

int FuseBridge::read(char *into, size_t size, off_t offset, fuse_file_info *file) {
    auto *copy = reinterpret_cast<OpenCopy *>(file->fh);
    if (!copy) return -EBADF;
    size_t done = 0;
    while (done < size) {
        const ssize_t count = ::pread(copy->fd, into + done, size - done, offset + static_cast<off_t>(done));
        if (count < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        if (count == 0) break;
        done += static_cast<size_t>(count);
    }
    return static_cast<int>(done);
}

int FuseBridge::release(fuse_file_info *file) {
    if (auto *copy = reinterpret_cast<OpenCopy *>(file->fh)) openCopies_.release(copy);
    file->fh = 0;
    return 0;
}

int FuseBridge::statfs(struct statvfs *figures) {
    std::optional<StorageSpace> space = storageSpace_.fresh();
    if (!space) {
        auto answer = requests_.storageSpace();
        if (auto *error = std::get_if<ProviderError>(&answer)) {
            // Without figures the location reports no space at all; that
            // is still better than a failing statfs, which breaks df.
            if (!error->is(FileProviderErrorCode::featureUnsupported)) return fail("storage query of", QStringLiteral("/"), *error);
            space = StorageSpace{};
        } else {
            space = std::get<StorageSpace>(answer);
            storageSpace_.remember(*space);
        }
    }
    *figures = {};
    figures->f_bsize = reportedBlockSize;
    figures->f_frsize = reportedBlockSize;
    figures->f_blocks = static_cast<fsblkcnt_t>(std::max<qint64>(0, space->totalBytes) / reportedBlockSize);
    figures->f_bfree = static_cast<fsblkcnt_t>(std::max<qint64>(0, space->freeBytes) / reportedBlockSize);
    figures->f_bavail = figures->f_bfree;
    figures->f_namemax = longestName;
    return 0;
}

int FuseBridge::mkdir(const char *path) {
    const QString mountPath = mountPathOf(path);
    auto parent = identifierFor(parentMountPath(mountPath));
    if (auto *error = std::get_if<ProviderError>(&parent)) return fail("creating", mountPath, *error);
    const QString name = lastComponent(mountPath);
    auto itemTemplate = std::make_shared<TemplateItem>(ItemIdentifier(name), std::get<ItemIdentifier>(parent), name,
                                                       ContentType::folder());
    auto created = requests_.create(std::move(itemTemplate), std::nullopt);
    if (auto *error = std::get_if<ProviderError>(&created)) return fail("creating", mountPath, *error);
    return 0;
}

int FuseBridge::remove(const char *path) {
    const QString mountPath = mountPathOf(path);
    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("deleting", mountPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    if (auto error = requests_.remove(found->itemIdentifier(), found->itemVersion())) return fail("deleting", mountPath, *error);
    return 0;
}

int FuseBridge::rename(const char *from, const char *to, unsigned int flags) {
    const QString fromPath = mountPathOf(from);
    const QString toPath = mountPathOf(to);
    if (flags != 0) return -EINVAL;
    auto item = itemAt(fromPath);
    if (auto *error = std::get_if<ProviderError>(&item)) return fail("moving", fromPath, *error);
    auto newParent = identifierFor(parentMountPath(toPath));
    if (auto *error = std::get_if<ProviderError>(&newParent)) return fail("moving", fromPath, *error);
    const ItemPointer &found = std::get<ItemPointer>(item);
    auto changed = std::make_shared<TemplateItem>(found->itemIdentifier(), std::get<ItemIdentifier>(newParent),
                                                  lastComponent(toPath), found->contentType());
    auto moved = requests_.modify(std::move(changed), found->itemVersion(),
                                  ItemField::filename | ItemField::parentItemIdentifier, std::nullopt);
    if (auto *error = std::get_if<ProviderError>(&moved)) return fail("moving", fromPath, *error);
    return 0;
}

} // namespace fileprovider
