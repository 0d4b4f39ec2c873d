// On one emulated phone mounted by VaneFileProvider, behind the link that
// DORVANE_BENCH_LINK names: cp of a 100 MB file into the mount against adb
// push of it (with the provider's peak memory and temporary bytes meanwhile),
// cp -r of 300 small files into it against adb push of them, and the time to
// create, rename and delete 200 small files through the mount.
//
//   mount_write_bench [rounds, default 4, or 1 behind a shaped link]
#include "bench/common/bench_tools.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::best;
using bench::run;
using bench::secondsOf;

constexpr int smallFiles = 200;
constexpr int copiedFiles = 300;

void check(bool fine, const QString &what) {
    if (!fine) throw std::runtime_error(what.toStdString() + " failed: " + std::strerror(errno));
}

QByteArray native(const QString &path) { return QFile::encodeName(path); }

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    try {
        // Unshaped, one round's times swing by half with whatever else the
        // machine runs; the best of four is steady. A round takes about two seconds.
        const int rounds = bench::roundsOf(argc, argv, 4);
        testsupport::TempFolder phoneFolder, mountFolder, local, temporary;
        const QString hash = testsupport::writePatternFile(local.file("big.bin"), 100'000'000);
        bench::makeSmallFiles(local.file("small"), copiedFiles, 10'000);
        testsupport::PhoneSim phone(bench::phoneOptions(phoneFolder.path()));
        const QString serial = phone.serial();

        bench::MountedProvider provider(serial, mountFolder.path(), temporary.path());
        // The same phone again, with its media index left alone: what telling it costs a copy.
        testsupport::TempFolder unscannedFolder, unscannedTemporary;
        bench::MountedProvider unscanned(serial, unscannedFolder.path(), unscannedTemporary.path(), {"--no-media-scan"});

        const QString adb = testsupport::adbTool();
        std::vector<double> cpTimes, pushTimes, smallCpTimes, smallUnscannedTimes, smallPushTimes, createTimes, renameTimes, deleteTimes;
        double peakMemory = 0, peakTemporary = 0;
        std::vector<double> cpuPer100MB;
        for (int round = 0; round < rounds; ++round) {
            // Each copy starts with the disk idle, not writing back the one before.
            run("sync", {});
            {
                bench::PeakSampler sampler(provider.pid(), temporary.path());
                const double cpuBefore = bench::cpuSecondsOf(provider.pid());
                cpTimes.push_back(secondsOf([&] { run("cp", {local.file("big.bin"), mountFolder.path() + "/copied.bin"}); }));
                // The file is 100 MB.
                cpuPer100MB.push_back(bench::cpuSecondsOf(provider.pid()) - cpuBefore);
                peakMemory = std::max(peakMemory, sampler.residentMB());
                peakTemporary = std::max(peakTemporary, sampler.folderMB());
            }
            if (testsupport::sha256OfFile(phoneFolder.file("copied.bin")) != hash)
                throw std::runtime_error("the copy into the mount differs from the local file");
            run("sync", {});
            pushTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "push", local.file("big.bin"), "/sdcard/pushed.bin"}); }));

            const QString copied = QString("small-copied-%1").arg(round);
            const QString pushed = QString("small-pushed-%1").arg(round);
            run("sync", {});
            // In turns first and second, so neither copy always finds the other's work behind it.
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn + round) % 2 == 0) {
                    smallCpTimes.push_back(secondsOf([&] { run("cp", {"-r", local.file("small"), mountFolder.path() + '/' + copied}); }));
                } else {
                    smallUnscannedTimes.push_back(
                        secondsOf([&] { run("cp", {"-r", local.file("small"), unscannedFolder.path() + '/' + copied + "-unscanned"}); }));
                }
                run("sync", {});
            }
            smallPushTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "push", local.file("small"), "/sdcard/" + pushed}); }));
            run("diff", {"-r", local.file("small"), phoneFolder.file(copied)});
            run("diff", {"-r", local.file("small"), phoneFolder.file(pushed)});

            const QString folder = mountFolder.path() + QString("/small-%1").arg(round);
            check(::mkdir(native(folder).constData(), 0755) == 0, "mkdir " + folder);
            createTimes.push_back(secondsOf([&] {
                for (int index = 0; index < smallFiles; ++index) {
                    const QString path = folder + QString("/file-%1.txt").arg(index);
                    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                    check(fd >= 0, "create " + path);
                    const QByteArray text = QByteArray("small file ") + QByteArray::number(index) + '\n';
                    check(::write(fd, text.constData(), text.size()) == text.size(), "write " + path);
                    check(::close(fd) == 0, "close " + path);
                }
            }));
            renameTimes.push_back(secondsOf([&] {
                for (int index = 0; index < smallFiles; ++index) {
                    const QString from = folder + QString("/file-%1.txt").arg(index);
                    const QString to = folder + QString("/renamed-%1.txt").arg(index);
                    check(::rename(native(from).constData(), native(to).constData()) == 0, "rename " + from);
                }
            }));
            deleteTimes.push_back(secondsOf([&] {
                for (int index = 0; index < smallFiles; ++index) {
                    const QString path = folder + QString("/renamed-%1.txt").arg(index);
                    check(::unlink(native(path).constData()) == 0, "unlink " + path);
                }
            }));
            if (!QDir(phoneFolder.file(QString("small-%1").arg(round))).isEmpty())
                throw std::runtime_error("small files were left on the phone");
        }

        std::printf("mount-write: %d rounds on one emulated phone (%s) behind the link %s; best round shown\n", rounds,
                    qPrintable(serial), qPrintable(bench::linkProfile()));
        std::printf("cp 100 MB into the mount %.3f s, adb push %.3f s: ratio %.2f (push time / cp time, target >= 0.95)\n",
                    best(cpTimes), best(pushTimes), best(pushTimes) / best(cpTimes));
        std::printf("cp -r of %d files of 10 kB into the mount %.3f s, adb push %.3f s: ratio %.2f (push time / cp time)\n",
                    copiedFiles, best(smallCpTimes), best(smallPushTimes), best(smallPushTimes) / best(smallCpTimes));
        std::printf("the same cp -r with the phone's media index not told %.3f s: telling it costs %+.0f %% (target <= 10 %%)\n",
                    best(smallUnscannedTimes), (best(smallCpTimes) / best(smallUnscannedTimes) - 1) * 100);
        std::printf("VaneFileProvider during the copy in: peak memory %.1f MB, temporary files %.1f MB, processor %.3f s per 100 MB\n",
                    peakMemory, peakTemporary, best(cpuPer100MB));
        std::printf("%d small files through the mount: create %.3f s (%.1f ms each), rename %.3f s (%.1f ms each), "
                    "delete %.3f s (%.1f ms each)\n",
                    smallFiles, best(createTimes), best(createTimes) * 1000 / smallFiles, best(renameTimes),
                    best(renameTimes) * 1000 / smallFiles, best(deleteTimes), best(deleteTimes) * 1000 / smallFiles);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
