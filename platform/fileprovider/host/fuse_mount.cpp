#include "platform/fileprovider/host/fuse_mount.h"

#include "platform/fileprovider/host/fuse_operations.h"

#include <fuse_lowlevel.h>

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fileprovider {

namespace {

// Interrupts the serving thread's wait so that it sees the loop has ended.
constexpr int wakeSignal = SIGUSR1;

void ignoreWake(int) {}

void installWakeHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action{};
        action.sa_handler = ignoreWake;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;   // no restart: the wait must return
        sigaction(wakeSignal, &action, nullptr);
    });
}

QString reasonText(int errorNumber) { return QString::fromStdString(std::generic_category().message(errorNumber)); }

void checkMountpoint(const QString &mountpoint) {
    struct stat attributes{};
    if (::stat(QFile::encodeName(mountpoint).constData(), &attributes) != 0) {
        throw MountFailure(QStringLiteral("cannot mount on %1: %2").arg(mountpoint, reasonText(errno)).toStdString());
    }
    if (!S_ISDIR(attributes.st_mode)) {
        throw MountFailure(QStringLiteral("cannot mount on %1: not a folder").arg(mountpoint).toStdString());
    }
    // Unprivileged users go through the setuid fusermount3, which opens the
    // device itself.
    if (::geteuid() == 0 && ::access("/dev/fuse", R_OK | W_OK) != 0) {
        throw MountFailure(
            QStringLiteral("cannot mount on %1: /dev/fuse cannot be used: %2").arg(mountpoint, reasonText(errno)).toStdString());
    }
}

// fsname and subtype end up in /proc/mounts, where a comma would split them.
QByteArray mountOptionText(const QString &text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace(',', '_').replace('\\', '_');
    return bytes;
}

} // namespace

FuseMount::FuseMount(FuseBridge &bridge, const QString &mountpoint, const QString &filesystemName)
    : bridge_(bridge), mountpoint_(mountpoint) {
    checkMountpoint(mountpoint);
    installWakeHandler();

    QByteArray options = "fsname=" + mountOptionText(filesystemName) + ",subtype=vanefileprovider";
    // Keeps the file manager from offering Move to Trash on the phone. libfuse
    // 3.17 and its fusermount3 keep x- options for the mount table; older
    // ones refuse them, and with them the mount.
    if (fuse_version() >= FUSE_MAKE_VERSION(3, 17)) options += ",x-gvfs-notrash";
    QByteArray program = "VaneFileProvider";
    QByteArray optionFlag = "-o";
    std::vector<char *> arguments{program.data(), optionFlag.data(), options.data(), nullptr};
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(arguments.size() - 1), arguments.data());
    fuse_ = fuse_new(&args, &fuseOperations(), sizeof(fuse_operations), &bridge_);
    fuse_opt_free_args(&args);
    if (!fuse_) throw MountFailure(QStringLiteral("cannot set up a mount on %1").arg(mountpoint).toStdString());

    if (fuse_mount(fuse_, QFile::encodeName(mountpoint).constData()) != 0) {
        fuse_destroy(fuse_);
        fuse_ = nullptr;
        throw MountFailure(QStringLiteral("cannot mount on %1 (libfuse said why, above)").arg(mountpoint).toStdString());
    }
#ifndef FUSE_CAP_DIRECT_IO_ALLOW_MMAP
    directIoMapping_ = std::make_unique<DirectIoMapping>(fuse_get_session(fuse_), [this] { bridge_.allowMappableDirectIo(); });
#endif
}

FuseMount::~FuseMount() {
    // Abandons the bridge's requests, interrupting those in flight.
    stop();
    // Off the device before libfuse closes it, while no request can come.
    directIoMapping_.reset();
    // Lazy when busy: a reader still holding a file must not keep the mount.
    if (!detached_) fuse_unmount(fuse_);
    fuse_destroy(fuse_);
}

int FuseMount::serve() {
    servingThread_ = pthread_self();
    serving_ = true;
    fuse_loop_config config{};
    config.clone_fd = 0;
    config.max_idle_threads = 10;
    const int result = fuse_session_exited(fuse_get_session(fuse_)) ? 0 : fuse_loop_mt(fuse_, &config);
    serving_ = false;
    return result;
}

void FuseMount::stopDetached() {
    detached_ = true;
    stop();
}

void FuseMount::stop() {
    bridge_.abandonRequests();
    fuse_session_exit(fuse_get_session(fuse_));
    // The serving thread may sit in a wait that only a signal interrupts;
    // repeat in case the first one came before it started waiting.
    using namespace std::chrono_literals;
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (serving_ && std::chrono::steady_clock::now() < giveUp) {
        pthread_kill(servingThread_.load(), wakeSignal);
        std::this_thread::sleep_for(20ms);
    }
}

} // namespace fileprovider
