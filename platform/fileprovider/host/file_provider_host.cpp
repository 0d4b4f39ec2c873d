#include "platform/fileprovider/host/file_provider_host.h"

#include "platform/fileprovider/host/fuse_bridge.h"
#include "platform/fileprovider/host/fuse_mount.h"
#include "platform/fileprovider/host/mount_gone_watcher.h"
#include "platform/fileprovider/host/private_temporary_folder.h"
#include "platform/fileprovider/host/work_queue.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <optional>
#include <pthread.h>
#include <thread>

namespace fileprovider {

namespace {

struct HostArguments {
    Domain domain;
    QString mountpoint;
};

constexpr const char *usage = "usage: VaneFileProvider --domain IDENTIFIER --mountpoint DIR [--display-name NAME]\n";

std::optional<HostArguments> readArguments(int argc, char **argv) {
    HostArguments arguments;
    for (int index = 1; index < argc; ++index) {
        const QString flag = QString::fromLocal8Bit(argv[index]);
        if (index + 1 >= argc) return std::nullopt;
        const QString value = QString::fromLocal8Bit(argv[++index]);
        if (flag == QLatin1String("--domain")) {
            arguments.domain.identifier = value;
        } else if (flag == QLatin1String("--mountpoint")) {
            arguments.mountpoint = value;
        } else if (flag == QLatin1String("--display-name")) {
            arguments.domain.displayName = value;
        } else {
            return std::nullopt;
        }
    }
    if (arguments.domain.identifier.isEmpty() || arguments.mountpoint.isEmpty()) return std::nullopt;
    if (arguments.domain.displayName.isEmpty()) arguments.domain.displayName = arguments.domain.identifier;
    arguments.mountpoint = QDir(arguments.mountpoint).absolutePath();
    return arguments;
}

sigset_t stopSignals() {
    sigset_t signalSet;
    sigemptyset(&signalSet);
    sigaddset(&signalSet, SIGTERM);
    sigaddset(&signalSet, SIGINT);
    sigaddset(&signalSet, SIGHUP);
    return signalSet;
}

// Waits for a stop signal on a thread of its own (the signalSet are blocked
// everywhere else) and then stops the mount. Ended by the destructor when
// the mount went away first.
class StopSignalWatcher {
public:
    explicit StopSignalWatcher(FuseMount &mount)
        : thread_([this, &mount] {
              const sigset_t signalSet = stopSignals();
              int received = 0;
              sigwait(&signalSet, &received);
              if (!finished_) mount.stop();
          }) {}

    ~StopSignalWatcher() {
        finished_ = true;
        pthread_kill(thread_.native_handle(), SIGTERM);
        thread_.join();
    }

private:
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

int serveDomain(const HostArguments &arguments, const ExtensionFactory &makeExtension) {
    PrivateTemporaryFolder temporaryFolder(QStringLiteral("VaneFileProvider"));
    temporaryFolder.makeProcessTemporaryFolder();

    int status = 0;
    // The real path, whose parent is the folder it sits in; read before the
    // mount, whose root only answers once served.
    const QString realMountpoint = QFileInfo(arguments.mountpoint).canonicalFilePath();
    std::unique_ptr<ReplicatedExtension> extension = makeExtension(arguments.domain);
    {
        FuseBridge bridge(*extension);
        try {
            FuseMount mount(bridge, arguments.mountpoint, QStringLiteral("dorvane:") + arguments.domain.identifier);
            StopSignalWatcher watcher(mount);
            MountGoneWatcher goneWatcher(realMountpoint, [&mount] { mount.stopDetached(); });
            if (mount.serve() != 0) status = 1;
        } catch (const MountFailure &failure) {
            std::fprintf(stderr, "VaneFileProvider: %s\n", failure.what());
            status = 1;
        }
        // The mount's end already invalidated the extension, cutting its connections.
    }
    // An upload fed beside its writer ends once its connection is cut and
    // its pipe closed; it must not go on into the folder about to be removed.
    if (!WorkQueue::waitForBesideJobs(std::chrono::seconds(2))) {
        std::fputs("VaneFileProvider: an upload is still ending\n", stderr);
    }
    return status;
}

} // namespace

namespace {

// Requests run on many FUSE worker threads. By default each
// thread's heap keeps what it freed, and a read window, once freed, makes
// the next ones come from those heaps too: memory then grows with every
// file read and stays. Few heaps, and windows always given back, keep the
// process to what its open files hold; the top of a heap is kept up to a
// few reads' worth, or every read would fault its buffer in afresh.
void boundMemoryKeptByThreads() {
    mallopt(M_ARENA_MAX, 2);
    mallopt(M_MMAP_THRESHOLD, 2 << 20);
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
}

} // namespace

int runFileProviderHost(int argc, char **argv, const ExtensionFactory &makeExtension) {
    const auto arguments = readArguments(argc, argv);
    if (!arguments) {
        std::fputs(usage, stderr);
        return 2;
    }
    boundMemoryKeptByThreads();
    // Blocked before any thread starts, so only the watcher receives them.
    const sigset_t signalSet = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signalSet, nullptr);
    try {
        return serveDomain(*arguments, makeExtension);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "VaneFileProvider: %s\n", error.what());
        return 1;
    }
}

} // namespace fileprovider
