// On one emulated phone mounted by VaneFileProvider: cp of a 100 MB file out
// of the mount against adb pull of it, ls -l of a 10,000-entry folder against
// adb ls of it, and the provider's peak memory during the copies.
//
//   mount_read_bench [rounds, default 3]
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
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

using bench::best;
using bench::run;
using bench::secondsOf;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    try {
        testsupport::TempFolder phoneFolder, mountFolder, local, temporary;
        testsupport::writePatternFile(phoneFolder.file("big.bin"), 100'000'000);
        QDir(phoneFolder.path()).mkpath("many");
        for (int index = 0; index < 10000; ++index) {
            QFile entry(phoneFolder.file(QString("many/entry-%1.txt").arg(index, 5, 10, QChar('0'))));
            if (!entry.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot make the folder of many entries");
        }
        testsupport::PhoneSimOptions options;
        options.folder = phoneFolder.path();
        options.model = "Bench_Phone";
        testsupport::PhoneSim phone(options);
        const QString serial = phone.serial();

        bench::MountedProvider provider(serial, mountFolder.path(), temporary.path());

        std::vector<double> cpTimes, pullTimes, lsTimes, adbLsTimes;
        const QString adb = testsupport::adbTool();
        for (int round = 0; round < rounds; ++round) {
            cpTimes.push_back(secondsOf([&] { run("cp", {mountFolder.path() + "/big.bin", local.file("copied.bin")}); }));
            pullTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "pull", "/sdcard/big.bin", local.file("pulled.bin")}); }));
            // The attribute timeouts must have run out, so that each listing is read afresh.
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            lsTimes.push_back(secondsOf([&] { run("ls", {"-l", mountFolder.path() + "/many"}); }));
            adbLsTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "ls", "/sdcard/many"}); }));
        }
        if (testsupport::sha256OfFile(local.file("copied.bin")) != testsupport::sha256OfFile(phoneFolder.file("big.bin")))
            throw std::runtime_error("the copy out of the mount differs from the phone's file");
        const qint64 peakKib = bench::peakResidentKib(provider.pid());

        std::printf("mount-read: %d rounds on one emulated phone (%s); best round shown\n", rounds, qPrintable(serial));
        std::printf("cp 100 MB out of the mount %.3f s, adb pull %.3f s: ratio %.2f (pull time / cp time, target >= 0.9)\n",
                    best(cpTimes), best(pullTimes), best(pullTimes) / best(cpTimes));
        std::printf("ls -l of 10,000 entries %.3f s, adb ls %.3f s: ratio %.2f (ls time / adb ls time, target <= 1.5)\n",
                    best(lsTimes), best(adbLsTimes), best(lsTimes) / best(adbLsTimes));
        std::printf("VaneFileProvider peak memory %.1f MB (target < 64 MB)\n", double(peakKib) / 1024.0);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
