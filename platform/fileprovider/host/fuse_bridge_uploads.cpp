// The bridge's uploads: the stream that follows a writer, and the upload
// of the local copy that a flush or fsync asks for.
#include "platform/fileprovider/host/fuse_bridge.h"

#include "platform/fileprovider/host/mount_paths.h"
#include "platform/fileprovider/host/requesting_process.h"
#include "platform/fileprovider/host/template_item.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace fileprovider {

namespace {

// What the next upload of the copy stamps on the phone file: a time set
// through the mount, else none (the upload's own time).
std::function<std::optional<Timestamp>()> modificationDateOf(const OpenCopy &copy) {
    return [cell = copy.modifiedTime]() -> std::optional<Timestamp> {
        const double seconds = cell->load();
        if (std::isnan(seconds)) return std::nullopt;
        return seconds;
    };
}

void noteUploaded(OpenCopy &copy) {
    if (copy.size != 0) copy.phoneFile = PhoneFile::present;
    else if (copy.phoneFile == PhoneFile::missing) copy.phoneFile = PhoneFile::madeEmptyHere;
    copy.dirty = false;
}

} // namespace

Outcome<PendingChange> FuseBridge::beginUpload(OpenCopy &copy, const ContentsFile &contents, UploadFrom from) {
    const QString mountPath = openCopies_.mountPathOf(&copy);
    auto parent = identifierFor(parentMountPath(mountPath));
    if (auto *error = std::get_if<ProviderError>(&parent)) return *error;
    const QString name = lastComponent(mountPath);
    // A stream is fed by its writer while it runs, so it runs beside the
    // writer's thread; and one the writer abandons late can still give back its start.
    const bool streamed = from == UploadFrom::stream;
    // An empty file the mount made moments ago is simply made again: with
    // nothing to keep, a small one goes straight to its name.
    if (copy.phoneFile != PhoneFile::present) {
        auto itemTemplate = std::make_shared<TemplateItem>(ItemIdentifier(name), std::get<ItemIdentifier>(parent), name, ContentType::data());
        itemTemplate->setModificationDate(modificationDateOf(copy));
        CreateItemOptions createOptions;
        if (streamed) createOptions |= CreateItemOption::keepWithdrawnContents;
        if (copy.phoneFile == PhoneFile::madeEmptyHere) createOptions |= CreateItemOption::mayAlreadyExist;
        return requests_.beginCreate(std::move(itemTemplate), contents, createOptions, streamed);
    }
    auto identifier = identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&identifier)) return *error;
    auto changed = std::make_shared<TemplateItem>(std::get<ItemIdentifier>(identifier), std::get<ItemIdentifier>(parent), name,
                                                  ContentType::data());
    changed->setModificationDate(modificationDateOf(copy));
    const ModifyItemOptions modifyOptions = streamed ? ModifyItemOptions(ModifyItemOption::keepWithdrawnContents) : ModifyItemOptions();
    return requests_.beginModify(std::move(changed), ItemVersion{}, ItemField::contents | ItemField::contentModificationDate,
                                 contents, modifyOptions, streamed);
}

void FuseBridge::streamWrite(OpenCopy &copy, size_t count, off_t offset, qint64 sizeBefore) {
    if (offset != sizeBefore) copy.writtenInOrder = false;
    if (!copy.stream) {
        // Only a file written in order from its start can be streamed whole.
        // A small one goes up in one piece on close: cheaper than a stream.
        if (copy.streamTried || copy.detached || !copy.writtenInOrder || copy.size < streamFrom) return;
        copy.streamTried = true;
        copy.streamReplaces = copy.phoneFile == PhoneFile::present;
        copy.stream = StreamedUpload::start(
            openCopies_.mountPathOf(&copy),
            [&](const ContentsFile &pipe) -> PendingChange {
                auto begun = beginUpload(copy, pipe, UploadFrom::stream);
                if (auto *change = std::get_if<PendingChange>(&begun)) return *change;
                auto failed = std::make_shared<ChangeUnderWay>();
                failed->deliver(std::get<ProviderError>(begun));
                return failed;
            },
            requests_);
        if (!copy.stream) return;
        // The bytes written before the stream began go first.
        if (!copy.stream->sendFromFile(copy.fd.get(), 0, offset)) return abandonStream(copy);
    }
    if (offset != copy.stream->sent()) return abandonStream(copy);
    // From the copy, where they just landed. A failed stream is reported
    // when the file is flushed.
    copy.stream->sendFromFile(copy.fd.get(), offset, qint64(count));
}

void FuseBridge::abandonStream(OpenCopy &copy) {
    if (!copy.stream) return;
    std::unique_ptr<StreamedUpload> stream = std::move(copy.stream);
    const Outcome<ItemPointer> withdrawn = stream->withdraw();
    const ItemPointer *answer = std::get_if<ItemPointer>(&withdrawn);
    if (!answer || !*answer) {
        if (copy.droppedBelow > 0) copy.streamedLost = true;
        return;
    }
    // An extension that took no notice put the start over the file and
    // answers with the file itself: that is never removed, and the start
    // is fetched back from it.
    if (copy.streamReplaces) {
        const Outcome<ItemIdentifier> own = identifierFor(openCopies_.mountPathOf(&copy));
        const ItemIdentifier *ownIdentifier = std::get_if<ItemIdentifier>(&own);
        if (ownIdentifier && *ownIdentifier == (*answer)->itemIdentifier()) return;
    } else if (lastComponent(openCopies_.mountPathOf(&copy)) == (*answer)->filename()) {
        copy.phoneFile = PhoneFile::present;
        return;
    }
    auto kept = std::make_unique<KeptUpload>(requests_, *answer);
    // Removed at once when the local copy still holds the start.
    if (copy.droppedBelow > 0) copy.keptStart = std::move(kept);
}

int FuseBridge::failUnlessWhole(OpenCopy &copy, const ItemPointer &uploaded) {
    // The phone's older records keep sizes modulo 4 GiB.
    constexpr qint64 recordedBits = 0xffffffffLL;
    const std::optional<qint64> size = uploaded ? uploaded->documentSize() : std::nullopt;
    if (!size || (*size & recordedBits) == (copy.size & recordedBits)) return 0;
    return fail("upload of", openCopies_.mountPathOf(&copy),
                ProviderError::posix(EIO, QStringLiteral("The phone holds %1 bytes of it where %2 were written.").arg(*size).arg(qint64(copy.size))));
}

bool FuseBridge::dropStreamedBytes(OpenCopy &copy, qint64 keep, qint64 leastStep) {
    if (!copy.stream || copy.stream->broken()) return false;
    // Whole MiB only, so the hole never cuts a block the kernel still shares.
    const qint64 dropTo = ((copy.stream->sent() - keep) >> 20) << 20;
    if (dropTo - copy.droppedBelow < leastStep) return false;
    // Where holes cannot be made the copy is simply kept whole.
    if (::fallocate(copy.fd.get(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, copy.droppedBelow, dropTo - copy.droppedBelow) != 0) return false;
    copy.droppedBelow = dropTo;
    return true;
}

int FuseBridge::restoreDropped(OpenCopy &copy) {
    if (copy.droppedBelow == 0) return 0;
    abandonStream(copy);
    const QString mountPath = openCopies_.mountPathOf(&copy);
    // Never filled from the phone's older bytes: that would make a file nobody wrote.
    if (!copy.keptStart && (copy.streamedLost || copy.phoneFile != PhoneFile::present)) {
        return fail("upload of", mountPath, ProviderError::posix(EIO, QStringLiteral("Its start, already sent, did not reach the phone; write the file again.")));
    }
    // Whatever comes of it, the kept start is not needed afterwards.
    const std::unique_ptr<KeptUpload> kept = std::move(copy.keptStart);
    Outcome<ItemIdentifier> source = kept ? Outcome<ItemIdentifier>(kept->identifier()) : identifierFor(mountPath);
    if (auto *error = std::get_if<ProviderError>(&source)) return fail("restoring", mountPath, *error);
    // Only the freed start is wanted: read as it arrives, never the whole file.
    auto opened = requests_.openContents(std::get<ItemIdentifier>(source));
    if (auto *error = std::get_if<ProviderError>(&opened)) return fail("restoring", mountPath, *error);
    ContentStream &contents = *std::get<OpenedContents>(opened).stream;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    int result = 0;
    for (qint64 at = 0; at < copy.droppedBelow && result == 0;) {
        auto got = contents.readNext(buffer.data(), qsizetype(std::min<qint64>(buffer.size(), copy.droppedBelow - at)));
        if (auto *error = std::get_if<ProviderError>(&got)) {
            result = fail("restoring", mountPath, *error);
        } else if (const qsizetype count = std::get<qsizetype>(got); count <= 0) {
            result = fail("restoring", mountPath, ProviderError::posix(EIO, QStringLiteral("The phone's copy of its start ended early.")));
        } else if (const ssize_t wrote = ::pwrite(copy.fd.get(), buffer.constData(), size_t(count), at); wrote != count) {
            // A short write to a local file means the disk is full.
            result = fail("restoring", mountPath, ProviderError::posix(wrote < 0 ? errno : ENOSPC));
        } else {
            at += count;
        }
    }
    contents.cancel();
    if (result == 0) copy.droppedBelow = 0;
    return result;
}

int FuseBridge::upload(OpenCopy &copy) {
    // A writer told that a write failed has not written the file it meant:
    // that never replaces the phone's file. A new file keeps what came, as
    // on any disk.
    const bool replaces = copy.stream ? copy.streamReplaces : copy.phoneFile == PhoneFile::present;
    if (copy.failedWrite && copy.dirty && !copy.detached && replaces) {
        abandonStream(copy);
        return fail("upload of", openCopies_.mountPathOf(&copy),
                    ProviderError::posix(*copy.failedWrite, QStringLiteral("A write to it failed; the phone's file stays as it was.")));
    }
    // Only a stream that carried every byte may end as the file; any other
    // is withdrawn, and the local copy goes up whole instead.
    if (copy.stream && (copy.stream->broken() || copy.stream->sent() != copy.size)) abandonStream(copy);
    if (copy.stream) {
        std::unique_ptr<StreamedUpload> stream = std::move(copy.stream);
        auto streamed = stream->finish();
        if (auto *error = std::get_if<ProviderError>(&streamed)) {
            if (copy.droppedBelow > 0) copy.streamedLost = true;
            if (!copy.detached) return fail("upload of", openCopies_.mountPathOf(&copy), *error);
        } else {
            noteUploaded(copy);
            if (const int checked = failUnlessWhole(copy, std::get<ItemPointer>(streamed)); checked < 0) return checked;
        }
    }
    if (!copy.dirty || copy.detached) return 0;
    if (const int restored = restoreDropped(copy); restored < 0) return restored;
    const QString mountPath = openCopies_.mountPathOf(&copy);
    auto begun = beginUpload(copy, copy.contents(mountPath), UploadFrom::localCopy);
    if (auto *error = std::get_if<ProviderError>(&begun)) return fail("upload of", mountPath, *error);
    auto uploaded = requests_.finish(std::get<PendingChange>(begun));
    if (auto *error = std::get_if<ProviderError>(&uploaded)) return fail("upload of", mountPath, *error);
    noteUploaded(copy);
    return failUnlessWhole(copy, std::get<ItemPointer>(uploaded));
}

int FuseBridge::uploadHeldCopy(OpenCopy &copy) {
    std::lock_guard lock(copy.mutex);
    return upload(copy);
}

int FuseBridge::flush(fuse_file_info *file) { return uploadThrough(file, false); }

// Asked for by name: the bytes so far go up whoever asks.
int FuseBridge::fsync(fuse_file_info *file) { return uploadThrough(file, true); }

int FuseBridge::uploadThrough(fuse_file_info *file, bool whoeverAsks) {
    // A handle for reading never uploads, even when it shares a writer's copy.
    FileHandle *handle = handleOf(file);
    if (!handle || !handle->writable) return 0;
    OpenCopy &copy = *handle->copy;
    // Every close of a descriptor flushes, also one a forked child only
    // inherited: whoever wrote the bytes has not said they are complete.
    // Answered at once, even while the writer holds the copy.
    if (!whoeverAsks && !copy.isWriter(requestingProcess())) return 0;
    std::lock_guard lock(copy.mutex);
    return upload(copy);
}

} // namespace fileprovider
