// A stand-in for the real host program: takes the same arguments, mounts an
// empty read-only folder with libfuse and unmounts on SIGTERM. The variable
// STAND_IN_BEHAVIOUR makes it misbehave for tests: "fail" complains on stderr
// and exits, "hang" never mounts, never mounts.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int getAttributes(const char *path, struct stat *attributes, fuse_file_info *) {
    std::memset(attributes, 0, sizeof *attributes);
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    attributes->st_mode = S_IFDIR | 0555;
    attributes->st_nlink = 2;
    return 0;
}

int readDirectory(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *, fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    std::string domain;
    std::string mountPoint;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--domain") == 0) domain = argv[i + 1];
        if (std::strcmp(argv[i], "--mountpoint") == 0) mountPoint = argv[i + 1];
    }
    if (domain.empty() || mountPoint.empty()) {
        std::fprintf(stderr, "usage: %s --domain IDENTIFIER --mountpoint DIR\n", argv[0]);
        return 2;
    }

    const char *behaviourVariable = std::getenv("STAND_IN_BEHAVIOUR");
    const std::string behaviour = behaviourVariable ? behaviourVariable : "";
    if (behaviour == "fail") {
        std::fprintf(stderr, "stand-in: no phone for %s\n", domain.c_str());
        return 3;
    }
    if (behaviour == "hang") {
        for (;;) pause();
    }

    fuse_operations operations{};
    operations.getattr = getAttributes;
    operations.readdir = readDirectory;

    const std::string options = "ro,fsname=stand-in,subtype=stand-in";
    char *arguments[] = {argv[0], const_cast<char *>("-o"), const_cast<char *>(options.c_str()), nullptr};
    fuse_args fuseArguments = FUSE_ARGS_INIT(3, arguments);
    fuse *filesystem = fuse_new(&fuseArguments, &operations, sizeof operations, nullptr);
    if (!filesystem) return 4;
    if (fuse_mount(filesystem, mountPoint.c_str()) != 0) {
        fuse_destroy(filesystem);
        return 5;
    }
    fuse_session *session = fuse_get_session(filesystem);
    fuse_set_signal_handlers(session);
    const int result = fuse_loop(filesystem);
    fuse_remove_signal_handlers(session);
    fuse_unmount(filesystem);
    fuse_destroy(filesystem);
    return result == 0 ? 0 : 6;
}
