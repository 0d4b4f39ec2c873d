// What any FUSE mount costs on this machine before it does any work: cp -r of
// 300 files of 10 kB into and out of a mount that keeps their names and sizes
// and no bytes, served by libfuse's multi-threaded loop as VaneFileProvider
// is. No mount copies small files faster than this; mount-write and
// mount-read give adb's own times for the same files.
//
//   fuse_floor_bench [rounds, default 4]
//   fuse_floor_bench --serve MOUNTPOINT   (the mount itself, run by the above;
//                                          SIGTERM unmounts it)
#include "bench/common/bench_tools.h"
#include "tests/support/temp_folder.h"

#define FUSE_USE_VERSION 35
#include <fuse3/fuse.h>

#include <QByteArray>
#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using bench::best;
using bench::run;
using bench::secondsOf;

constexpr int copiedFiles = 300;

struct Node {
    bool folder = false;
    off_t size = 0;
};

std::mutex nodesMutex;
std::map<std::string, Node> nodes{{"/", Node{true, 0}}};

int getattr(const char *path, struct stat *attributes, fuse_file_info *) {
    std::lock_guard lock(nodesMutex);
    const auto found = nodes.find(path);
    if (found == nodes.end()) return -ENOENT;
    *attributes = {};
    attributes->st_mode = found->second.folder ? S_IFDIR | 0755 : S_IFREG | 0644;
    attributes->st_nlink = 1;
    attributes->st_size = found->second.size;
    return 0;
}

int mkdir(const char *path, mode_t) {
    std::lock_guard lock(nodesMutex);
    return nodes.emplace(path, Node{true, 0}).second ? 0 : -EEXIST;
}

int create(const char *path, mode_t, fuse_file_info *) {
    std::lock_guard lock(nodesMutex);
    nodes[path].size = 0;
    return 0;
}

int open(const char *path, fuse_file_info *file) {
    // As VaneFileProvider does: closing a reader's handle asks nothing.
    if ((file->flags & O_ACCMODE) == O_RDONLY) file->noflush = 1;
    std::lock_guard lock(nodesMutex);
    return nodes.count(path) ? 0 : -ENOENT;
}

int write(const char *path, const char *, size_t size, off_t offset, fuse_file_info *) {
    std::lock_guard lock(nodesMutex);
    Node &node = nodes[path];
    node.size = std::max<off_t>(node.size, offset + off_t(size));
    return int(size);
}

int read(const char *path, char *into, size_t size, off_t offset, fuse_file_info *) {
    std::lock_guard lock(nodesMutex);
    const off_t end = nodes[path].size;
    const size_t count = offset >= end ? 0 : std::min<size_t>(size, size_t(end - offset));
    std::memset(into, 'x', count);
    return int(count);
}

int flush(const char *, fuse_file_info *) { return 0; }
int release(const char *, fuse_file_info *) { return 0; }

int readdir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *, fuse_readdir_flags) {
    const std::string prefix = std::string_view(path) == "/" ? "/" : std::string(path) + '/';
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    std::lock_guard lock(nodesMutex);
    for (auto at = nodes.lower_bound(prefix); at != nodes.end() && at->first.starts_with(prefix); ++at) {
        const std::string name = at->first.substr(prefix.size());
        if (!name.empty() && name.find('/') == std::string::npos) fill(buffer, name.c_str(), nullptr, 0, fuse_fill_dir_flags{});
    }
    return 0;
}

int serve(const char *mountPoint) {
    fuse_operations operations{};
    operations.getattr = getattr;
    operations.mkdir = mkdir;
    operations.create = create;
    operations.open = open;
    operations.read = read;
    operations.write = write;
    operations.flush = flush;
    operations.release = release;
    operations.readdir = readdir;
    char program[] = "fuse_floor_bench";
    char *arguments[] = {program, nullptr};
    fuse_args args = FUSE_ARGS_INIT(1, arguments);
    fuse *mount = fuse_new(&args, &operations, sizeof operations, nullptr);
    if (!mount) return 1;
    if (fuse_mount(mount, mountPoint) != 0) {
        fuse_destroy(mount);
        return 1;
    }
    fuse_set_signal_handlers(fuse_get_session(mount));
    // As VaneFileProvider runs its loop.
    fuse_loop_config config{};
    config.clone_fd = 0;
    config.max_idle_threads = 10;
    const int result = fuse_loop_mt(mount, &config);
    fuse_remove_signal_handlers(fuse_get_session(mount));
    fuse_unmount(mount);
    fuse_destroy(mount);
    return result;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--serve") return serve(argv[2]);
    QCoreApplication app(argc, argv);
    try {
        // No link is involved: as many rounds behind every profile.
        const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 4;
        testsupport::TempFolder mountFolder, local;
        bench::makeSmallFiles(local.file("small"), copiedFiles, 10'000);
        const bench::MountingProgram mount(QCoreApplication::applicationFilePath(), {"--serve", mountFolder.path()}, mountFolder.path());
        std::vector<double> inTimes, outTimes;
        for (int round = 0; round < rounds; ++round) {
            const QString copied = mountFolder.path() + QString("/small-%1").arg(round);
            run("sync", {});
            inTimes.push_back(secondsOf([&] { run("cp", {"-r", local.file("small"), copied}); }));
            outTimes.push_back(secondsOf([&] { run("cp", {"-r", copied, local.file(QString("out-%1").arg(round))}); }));
        }
        std::printf("fuse-floor: %d rounds on an empty FUSE mount (no phone, no link); best round shown\n", rounds);
        std::printf("cp -r of %d files of 10 kB into a mount that does nothing %.3f s, out of it %.3f s\n", copiedFiles, best(inTimes),
                    best(outTimes));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
