#include "platform/fileprovider/host/fuse_bridge.h"

#include <chrono>

#include "platform/fileprovider/host/errno_mapping.h"
#include "platform/fileprovider/host/item_attributes.h"
#include "platform/fileprovider/host/mount_paths.h"

#include <QDir>
#include <QSet>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace fileprovider {

namespace {

constexpr unsigned long reportedBlockSize = 4096;
constexpr unsigned long longestName = 255;

// Names the kernel cannot be given: they would break the path syntax.
bool isListableName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/') &&
           !name.contains(QChar(u'\0'));
}

} // namespace

FuseBridge::FuseBridge(ReplicatedExtension &extension)
    : requests_(extension, [this] { return abandoned_.load(); }, [this] { recentItems_.forgetAll(); }),
      recentItems_(std::chrono::milliseconds(int(attributeSeconds * 1000))), owner_(::getuid()), group_(::getgid()),
      stagingFolder_(QDir::tempPath() + QStringLiteral("/vane-staging")) {
    // Staging files that cannot be made fail their own opens, saying why.
    QDir().mkpath(stagingFolder_);
}

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
    if (const OpenCopy *copy = copyOf(file)) {
        *attributes = copy->currentAttributes();
        return 0;
    }
    const QString mountPath = mountPathOf(path);
    // Made through the mount and not uploaded yet: only this side knows it.
    if (auto pending = openCopies_.pendingAt(mountPath)) {
        *attributes = *pending;
        return 0;
    }
    if (auto opened = openCopies_.freshlyReadAt(mountPath, std::chrono::seconds(1))) {
        *attributes = *opened;
        return 0;
    }
    if (knownAbsent(mountPath)) return -ENOENT;
    const auto askedAt = RecentItems::Clock::now();
    auto item = itemAt(mountPath);
    if (auto *error = std::get_if<ProviderError>(&item)) {
        if (error->is(FileProviderErrorCode::noSuchItem)) recentNames_.missed(parentMountPath(mountPath));
        return fail("lookup of", mountPath, *error);
    }
    const ItemPointer &found = std::get<ItemPointer>(item);
    recentItems_.rememberItem(mountPath, found, askedAt);
    *attributes = attributesFor(*found, owner_, group_, found->isFolder() ? std::nullopt : openCopies_.openSize(mountPath));
    return 0;
}

bool FuseBridge::knownAbsent(const QString &mountPath) {
    // The top of the mount is no folder's entry: never missing.
    if (mountPath == u'/') return false;
    const QString folder = parentMountPath(mountPath);
    const QString name = lastComponent(mountPath);
    const RecentFolderNames::Answer answer = recentNames_.lookUp(folder, name);
    if (answer != RecentFolderNames::Answer::relist) return answer == RecentFolderNames::Answer::absent;
    // Fresh from when it was asked for, not from when it arrived.
    const auto listedAt = RecentFolderNames::Clock::now();
    auto container = identifierFor(folder);
    if (std::holds_alternative<ProviderError>(container)) return false;
    auto listing = requests_.contents(std::get<ItemIdentifier>(container));
    if (std::holds_alternative<ProviderError>(listing)) return false;
    QSet<QString> names;
    for (const ItemPointer &child : std::get<QList<ItemPointer>>(listing)) names.insert(child->filename());
    recentNames_.remember(folder, std::move(names), listedAt);
    return recentNames_.lookUp(folder, name) == RecentFolderNames::Answer::absent;
}

// An open folder: its listing as the kernel is given it.
struct FolderListing {
    struct Entry {
        QByteArray name;
        std::optional<struct stat> attributes;
    };
    std::vector<Entry> entries;
};

FuseBridge::~FuseBridge() = default;

int FuseBridge::opendir(const char *path, fuse_file_info *folder) {
    const QString mountPath = mountPathOf(path);
    auto container = identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&container)) return fail("listing of", mountPath, *error);
    const auto askedAt = RecentItems::Clock::now();
    auto listing = requests_.contents(std::get<ItemIdentifier>(container));
    if (auto *error = std::get_if<ProviderError>(&listing)) return fail("listing of", mountPath, *error);
    recentItems_.rememberListing(mountPath, std::get<QList<ItemPointer>>(listing), askedAt);

    auto opened = std::make_unique<FolderListing>();
    const QList<ItemPointer> &children = std::get<QList<ItemPointer>>(listing);
    opened->entries.reserve(children.size() + 2);
    opened->entries.push_back({".", std::nullopt});
    opened->entries.push_back({"..", std::nullopt});
    const QString prefix = mountPath.endsWith(u'/') ? mountPath : mountPath + u'/';
    QSet<QString> listed;
    for (const ItemPointer &child : children) {
        const QString name = child->filename();
        if (!isListableName(name)) continue;
        listed.insert(name);
        const std::optional<qint64> openSize = child->isFolder() ? std::nullopt : openCopies_.openSize(prefix + name);
        opened->entries.push_back({posix::fileNameBytes(name), attributesFor(*child, owner_, group_, openSize)});
    }
    for (const auto &[name, attributes] : openCopies_.pendingIn(mountPath)) {
        if (!listed.contains(name)) opened->entries.push_back({posix::fileNameBytes(name), attributes});
    }
    folder->fh = folderListings_.add(std::move(opened));
    return 0;
}

int FuseBridge::readdir(void *buffer, fuse_fill_dir_t filler, off_t offset, fuse_file_info *folder) {
    const FolderListing *listing = folderListings_.find(folder->fh);
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
    folderListings_.take(folder->fh);
    folder->fh = 0;
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

} // namespace fileprovider
