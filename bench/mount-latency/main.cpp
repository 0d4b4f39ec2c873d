// Mount latency: from the press of Mount (MountService::mount) to a live
// mount, and on to the first listing of the phone's root through it, with
// the real adb server, an emulated phone behind the link DORVANE_BENCH_LINK
// names and the real VaneFileProvider.
#include "app/mount/mount_service.h"
#include "bench/common/bench_tools.h"
#include "platform/workspace/workspace.h"
#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

class QuietWorkspace : public Workspace {
public:
    void open(const QString &) override {}
    void reveal(const QString &) override {}
};

bool spinUntil(const std::function<bool()> &condition, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char *what, const QList<double> &values) {
    std::printf("%-32s min %7.1f ms   median %7.1f ms   max %7.1f ms\n", what,
                *std::min_element(values.begin(), values.end()), median(values),
                *std::max_element(values.begin(), values.end()));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    const int fuseDevice = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuseDevice < 0) {
        std::printf("mount-latency: skipped, /dev/fuse cannot be opened\n");
        return 0;
    }
    ::close(fuseDevice);

    testsupport::TempFolder runtime;
    testsupport::TempFolder mountRoot;
    testsupport::TempFolder phoneFolder;
    for (int i = 0; i < 50; ++i) {
        QFile file(phoneFolder.file(QStringLiteral("file-%1.txt").arg(i)));
        file.open(QIODevice::WriteOnly);
        file.write("x");
    }
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("DORVANE_MOUNT_ROOT", mountRoot.path().toLocal8Bit());

    testsupport::PhoneSim phone(bench::phoneOptions(phoneFolder.path()));
    FileProviderManager::Settings settings = FileProviderManager::defaultSettings();
    settings.hostProgram = QStringLiteral(DORVANE_BIN_DIR "/VaneFileProvider");
    auto domains = std::make_shared<FileProviderManager>(settings);
    MountService service(std::make_shared<AdbService>(), domains, std::make_shared<QuietWorkspace>());
    const AndroidDevice device{phone.serial(), QStringLiteral("Bench_Phone"), AndroidDevice::State::device};

    QList<double> toMounted;
    QList<double> toListing;
    QList<double> toUnmounted;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        service.mount(device);
        if (!spinUntil([&] { return service.mountOf(device.serial).state != MountService::State::mounting; }, 30000) ||
            service.mountOf(device.serial).state != MountService::State::mounted) {
            std::printf("mount-latency: the mount failed: %s\n",
                        qPrintable(service.mountOf(device.serial).error.value_or(QStringLiteral("timed out"))));
            return 1;
        }
        toMounted.append(timer.nsecsElapsed() / 1e6);
        const QString place = *service.mountOf(device.serial).mountPoint;
        const qsizetype listed = QDir(place).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
        toListing.append(timer.nsecsElapsed() / 1e6);
        if (listed != 50) {
            std::printf("mount-latency: listed %lld entries, expected 50\n", qlonglong(listed));
            return 1;
        }

        QElapsedTimer unmountTimer;
        unmountTimer.start();
        service.unmount(device.serial);
        spinUntil([&] { return service.mountOf(device.serial).state == MountService::State::unmounted; }, 30000);
        toUnmounted.append(unmountTimer.nsecsElapsed() / 1e6);
    }

    std::printf("mount latency over %d rounds (target: live mount under 1000 ms)\n", rounds);
    report("press to live mount", toMounted);
    report("press to first root listing", toListing);
    report("unmount to removed", toUnmounted);
    std::printf("%s\n", median(toMounted) < 1000 ? "target met" : "target MISSED");
    return 0;
}
