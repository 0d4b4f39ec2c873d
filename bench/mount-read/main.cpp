// On one emulated phone mounted by VaneFileProvider, behind the link that
// DORVANE_BENCH_LINK names: cp of a 100 MB file out of the mount against adb
// pull of it (with the provider's peak memory and temporary bytes meanwhile),
// the first 4 kB and the last 64 kB of a large file against adb pull of all of
// it, cp -r of 300 small files against adb pull of them, and ls -l of a
// 10,000-entry folder against adb ls of it and against ls -l on local disk,
// and the provider's peak memory while eight 1 GB files are read at once.
//
//   mount_read_bench [rounds, default 2, or 1 behind a shaped link]
#include "bench/common/bench_tools.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using bench::best;
using bench::run;
using bench::secondsOf;

namespace {

constexpr int kSmallFiles = 300;
constexpr qint64 kSmallSize = 10'000;
constexpr qint64 kHead = 4096;
constexpr qint64 kTail = 65536;
constexpr int kParallelReaders = 8;
constexpr qint64 kParallelFileSize = 1'000'000'000;

QByteArray bytesOf(const QString &path, qint64 offset, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset)) return {};
    return file.read(size);
}

void expect(bool fine, const char *what) {
    if (!fine) throw std::runtime_error(what);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    try {
        const int rounds = bench::roundsOf(argc, argv, 2);
        const QString link = bench::linkProfile();
        // Under a slow link a whole gigabyte would take minutes to pull.
        const qint64 largeSize = link == "none" ? 1'000'000'000 : 256'000'000;
        testsupport::TempFolder phoneFolder, mountFolder, local, temporary;
        testsupport::writePatternFile(phoneFolder.file("big.bin"), 100'000'000);
        QDir(phoneFolder.path()).mkpath("many");
        for (int index = 0; index < 10000; ++index) {
            QFile entry(phoneFolder.file(QString("many/entry-%1.txt").arg(index, 5, 10, QChar('0'))));
            if (!entry.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot make the folder of many entries");
        }
        bench::makeSmallFiles(phoneFolder.file("small"), kSmallFiles, kSmallSize);
        // A fresh large file for every read, so none finds another's download.
        for (int index = 0; index < kParallelReaders; ++index)
            bench::makeLargeFile(phoneFolder.file(QString("parallel-%1.bin").arg(index)), kParallelFileSize, kTail);
        for (int round = 0; round < rounds; ++round) {
            bench::makeLargeFile(phoneFolder.file(QString("large-%1.bin").arg(round)), largeSize, kTail);
            bench::makeLargeFile(phoneFolder.file(QString("thumbnailed-%1.bin").arg(round)), largeSize, kTail);
        }
        const QByteArray head = bytesOf(phoneFolder.file("large-0.bin"), 0, kHead);
        const QByteArray tail = bytesOf(phoneFolder.file("large-0.bin"), largeSize - kTail, kTail);
        testsupport::PhoneSim phone(bench::phoneOptions(phoneFolder.path()));
        const QString serial = phone.serial();

        bench::MountedProvider provider(serial, mountFolder.path(), temporary.path());

        std::vector<double> cpTimes, pullTimes, headTimes, wholeTimes, tailTimes, smallCpTimes, smallPullTimes, lsTimes,
            adbLsTimes, localLsTimes;
        double peakMemory = 0, peakTemporary = 0;
        std::vector<double> cpuPer100MB;
        const QString adb = testsupport::adbTool();
        auto copyOut = [&] {
            // Each copy starts with the disk idle, not writing back the one before.
            run("sync", {});
            {
                bench::PeakSampler sampler(provider.pid(), temporary.path());
                const double cpuBefore = bench::cpuSecondsOf(provider.pid());
                cpTimes.push_back(secondsOf([&] { run("cp", {mountFolder.path() + "/big.bin", local.file("copied.bin")}); }));
                // The file is 100 MB.
                cpuPer100MB.push_back(bench::cpuSecondsOf(provider.pid()) - cpuBefore);
                peakMemory = std::max(peakMemory, sampler.residentMB());
                peakTemporary = std::max(peakTemporary, sampler.folderMB());
            }
            if (testsupport::sha256OfFile(local.file("copied.bin")) != testsupport::sha256OfFile(phoneFolder.file("big.bin")))
                throw std::runtime_error("the copy out of the mount differs from the phone's file");
            QFile::remove(local.file("copied.bin"));
            run("sync", {});
            pullTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "pull", "/sdcard/big.bin", local.file("pulled.bin")}); }));
            QFile::remove(local.file("pulled.bin"));
        };
        // Unshaped, one copy's time swings by half with whatever else the
        // machine runs: the copy and the pull are each made twice a round.
        const int copiesPerRound = link == "none" ? 2 : 1;
        for (int round = 0; round < rounds; ++round) {
            for (int copy = 0; copy < copiesPerRound; ++copy) copyOut();

            const QString large = QString("large-%1.bin").arg(round);
            QByteArray got;
            headTimes.push_back(secondsOf([&] { got = bench::outputOf("head", {"-c", QString::number(kHead), mountFolder.path() + '/' + large}); }));
            expect(got == head, "head of the mounted file differs from the phone's file");
            wholeTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "pull", "/sdcard/" + large, local.file("large.bin")}); }));
            QFile::remove(local.file("large.bin"));
            const QString thumbnailed = mountFolder.path() + QString("/thumbnailed-%1.bin").arg(round);
            tailTimes.push_back(secondsOf([&] { got = bench::outputOf("tail", {"-c", QString::number(kTail), thumbnailed}); }));
            expect(got == tail, "tail of the mounted file differs from the phone's file");

            const QString copied = local.file(QString("small-copied-%1").arg(round));
            const QString pulled = local.file(QString("small-pulled-%1").arg(round));
            run("sync", {});
            smallCpTimes.push_back(secondsOf([&] { run("cp", {"-r", mountFolder.path() + "/small", copied}); }));
            run("sync", {});
            smallPullTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "pull", "/sdcard/small", pulled}); }));
            run("diff", {"-r", phoneFolder.file("small"), copied});
            run("diff", {"-r", phoneFolder.file("small"), pulled});

            // The attribute timeouts must have run out, so that each listing is read afresh.
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            lsTimes.push_back(secondsOf([&] { run("ls", {"-l", mountFolder.path() + "/many"}); }));
            adbLsTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "ls", "/sdcard/many"}); }));
            localLsTimes.push_back(secondsOf([&] { run("ls", {"-l", phoneFolder.file("many")}); }));
        }

        // Behind a slow link each reader takes only the start of its file:
        // memory depends on the files read at once, not on how far.
        const qint64 readEach = link == "none" ? kParallelFileSize : 32'000'000;
        double parallelMemory = 0;
        double parallelSeconds = 0;
        {
            bench::PeakSampler sampler(provider.pid(), temporary.path());
            parallelSeconds = secondsOf([&] {
                std::vector<std::unique_ptr<QProcess>> readers;
                for (int index = 0; index < kParallelReaders; ++index) {
                    readers.push_back(std::make_unique<QProcess>());
                    readers.back()->setStandardOutputFile(QProcess::nullDevice());
                    readers.back()->start("head", {"-c", QString::number(readEach), mountFolder.path() + QString("/parallel-%1.bin").arg(index)});
                }
                for (const auto &reader : readers) {
                    if (!reader->waitForFinished(-1) || reader->exitCode() != 0) throw std::runtime_error("a parallel reader failed");
                }
            });
            parallelMemory = sampler.residentMB();
        }

        std::printf("mount-read: %d rounds on one emulated phone (%s) behind the link %s; best round shown\n", rounds,
                    qPrintable(serial), qPrintable(link));
        std::printf("cp 100 MB out of the mount %.3f s, adb pull %.3f s: ratio %.2f (pull time / cp time, target >= 0.95)\n",
                    best(cpTimes), best(pullTimes), best(pullTimes) / best(cpTimes));
        std::printf("first byte: head -c 4096 of a %lld MB file %.3f s, adb pull of all of it %.3f s: ratio %.3f "
                    "(head time / pull time)\n",
                    qlonglong(largeSize / 1'000'000), best(headTimes), best(wholeTimes), best(headTimes) / best(wholeTimes));
        std::printf("tail -c 65536 of the %lld MB file %.3f s\n", qlonglong(largeSize / 1'000'000), best(tailTimes));
        std::printf("cp -r of %d files of 10 kB out of the mount %.3f s, adb pull %.3f s: ratio %.2f (pull time / cp time)\n",
                    kSmallFiles, best(smallCpTimes), best(smallPullTimes), best(smallPullTimes) / best(smallCpTimes));
        std::printf("ls -l of 10,000 entries %.3f s, adb ls %.3f s: ratio %.2f (ls time / adb ls time, target <= 1.5); "
                    "ls -l on local disk %.3f s\n",
                    best(lsTimes), best(adbLsTimes), best(lsTimes) / best(adbLsTimes), best(localLsTimes));
        std::printf("VaneFileProvider during the copy out: peak memory %.1f MB, temporary files %.1f MB, processor %.3f s per 100 MB\n",
                    peakMemory, peakTemporary, best(cpuPer100MB));
        std::printf("%d readers at once, %lld MB of a %lld MB file each, %.1f s: VaneFileProvider peak memory %.1f MB\n",
                    kParallelReaders, qlonglong(readEach / 1'000'000), qlonglong(kParallelFileSize / 1'000'000), parallelSeconds,
                    parallelMemory);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
