// On one emulated phone mounted by VaneFileProvider: cp of a 100 MB file into
// the mount against adb push of it, and the time to create, rename and
// delete 200 small files through the mount, and cp -r of a folder of 300
// files of 10 kB in and out of the mount against adb push and adb pull of it.
//
//   mount_write_bench [rounds, default 3]
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
constexpr int folderFiles = 300;

void check(bool fine, const QString &what) {
    if (!fine) throw std::runtime_error(what.toStdString() + " failed: " + std::strerror(errno));
}

QByteArray native(const QString &path) { return QFile::encodeName(path); }

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    try {
        testsupport::TempFolder phoneFolder, mountFolder, local, temporary;
        const QString hash = testsupport::writePatternFile(local.file("big.bin"), 100'000'000);
        testsupport::PhoneSimOptions options;
        options.folder = phoneFolder.path();
        options.model = "Bench_Phone";
        testsupport::PhoneSim phone(options);
        const QString serial = phone.serial();

        bench::MountedProvider provider(serial, mountFolder.path(), temporary.path());

        for (int index = 0; index < folderFiles; ++index)
            testsupport::writePatternFile(local.file(QString("many/f%1.bin").arg(index)), 10'000, index);
        const QString adb = testsupport::adbTool();
        std::vector<double> cpTimes, pushTimes, createTimes, renameTimes, deleteTimes;
        std::vector<double> folderInTimes, folderPushTimes, folderOutTimes, folderPullTimes;
        for (int round = 0; round < rounds; ++round) {
            cpTimes.push_back(secondsOf([&] { run("cp", {local.file("big.bin"), mountFolder.path() + "/copied.bin"}); }));
            if (testsupport::sha256OfFile(phoneFolder.file("copied.bin")) != hash)
                throw std::runtime_error("the copy into the mount differs from the local file");
            pushTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "push", local.file("big.bin"), "/sdcard/pushed.bin"}); }));

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

            const QString in = QString("in-%1").arg(round);
            folderInTimes.push_back(secondsOf([&] { run("cp", {"-r", local.file("many"), mountFolder.path() + "/" + in}); }));
            if (QDir(phoneFolder.file(in)).count() != folderFiles + 2) throw std::runtime_error("cp -r into the mount lost files");
            folderPushTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "push", local.file("many"), "/sdcard/pushed-" + in}); }));
            folderOutTimes.push_back(secondsOf([&] { run("cp", {"-r", mountFolder.path() + "/" + in, local.file("out-" + in)}); }));
            folderPullTimes.push_back(secondsOf([&] { run(adb, {"-s", serial, "pull", "/sdcard/" + in, local.file("pulled-" + in)}); }));
        }

        std::printf("mount-write: %d rounds on one emulated phone (%s); best round shown\n", rounds, qPrintable(serial));
        std::printf("cp 100 MB into the mount %.3f s, adb push %.3f s: ratio %.2f (push time / cp time, target >= 0.9)\n",
                    best(cpTimes), best(pushTimes), best(pushTimes) / best(cpTimes));
        std::printf("%d small files through the mount: create %.3f s (%.1f ms each), rename %.3f s (%.1f ms each), "
                    "delete %.3f s (%.1f ms each)\n",
                    smallFiles, best(createTimes), best(createTimes) * 1000 / smallFiles, best(renameTimes),
                    best(renameTimes) * 1000 / smallFiles, best(deleteTimes), best(deleteTimes) * 1000 / smallFiles);
        std::printf("%d files of 10 kB: cp -r into the mount %.3f s, adb push %.3f s: ratio %.2f (cp time / push time, target <= 2)\n",
                    folderFiles, best(folderInTimes), best(folderPushTimes), best(folderInTimes) / best(folderPushTimes));
        std::printf("%d files of 10 kB: cp -r out of the mount %.3f s, adb pull %.3f s: ratio %.2f (cp time / pull time, target <= 2)\n",
                    folderFiles, best(folderOutTimes), best(folderPullTimes), best(folderOutTimes) / best(folderPullTimes));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
