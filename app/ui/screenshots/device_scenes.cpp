#include "app/ui/screenshots/device_scenes.h"

#include "app/mount/mount_service.h"
#include "app/state/app_view_model.h"
#include "app/state/pairing_flow.h"
#include "app/ui/connect_guide_view.h"
#include "app/ui/content_view.h"
#include "app/ui/device_card.h"
#include "app/ui/device_screen.h"
#include "app/ui/pairing_view.h"
#include "app/ui/styled_button.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Answers "devices -l" from devices.txt and "df" from df-SERIAL, and pairs
// and connects as adb 34 does; everything else succeeds quietly.
const char *const standInAdb = R"SCRIPT(#!/bin/sh
here=$(dirname "$0")
case "$1" in
  devices) printf 'List of devices attached\n'; cat "$here/devices.txt"; printf '\n' ;;
  version) printf 'Android Debug Bridge version 1.0.41\nVersion 34.0.5-debian\n' ;;
  pair) printf 'Successfully paired to %s [guid=adb-R5CT1234567-AbCdEf]\n' "$2" ;;
  connect) printf 'connected to %s\n' "$2" ;;
  -s) [ "$3 $4" = "shell df" ] && [ -e "$here/df-$2" ] && cat "$here/df-$2" ;;
esac
exit 0
)SCRIPT";

struct Phone {
    QString serial;
    QString state;
    QString model;
    qint64 totalKb = 0;
    qint64 freeKb = 0;
    bool mounted = false;
};

// The folders every device scene shares: runtime, mount root and settings.
struct Sandbox {
    QTemporaryDir root;
    bool ready = false;
    QList<std::shared_ptr<QTemporaryDir>> tools;

    Sandbox() {
        QDir(root.path()).mkpath(QStringLiteral("run"));
        QDir(root.path()).mkpath(QStringLiteral("mnt"));
        QFile::setPermissions(root.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", root.filePath(QStringLiteral("run")).toLocal8Bit());
        qputenv("DORVANE_MOUNT_ROOT", root.filePath(QStringLiteral("mnt")).toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root.filePath(QStringLiteral("config")));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Dorvane"), QStringLiteral("Dorvane"));
        settings.setValue(QStringLiteral("hasCompletedOnboarding"), true);
        settings.sync();
        ready = root.isValid();
    }
};

Sandbox &sandbox() {
    static Sandbox shared;
    return shared;
}

void writeFile(const QString &path, const QByteArray &contents) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

// A stand-in adb folder listing `phones`.
QString makeTool(const QList<Phone> &phones) {
    auto folder = std::make_shared<QTemporaryDir>();
    sandbox().tools.append(folder);
    writeFile(folder->filePath(QStringLiteral("adb")), standInAdb);
    QFile::setPermissions(folder->filePath(QStringLiteral("adb")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QByteArray listing;
    int transport = 1;
    for (const Phone &phone : phones) {
        QByteArray line = phone.serial.leftJustified(22).toUtf8() + ' ' + phone.state.toUtf8();
        if (!phone.model.isEmpty())
            line += " product:p model:" + phone.model.toUtf8() + " device:d";
        line += " transport_id:" + QByteArray::number(transport++) + '\n';
        listing += line;
        if (phone.totalKb > 0)
            writeFile(folder->filePath(QStringLiteral("df-") + phone.serial),
                      QStringLiteral("Filesystem 1K-blocks Used Available Use%% Mounted on\n/dev/fuse %1 %2 %3 80% /storage/emulated\n")
                          .arg(phone.totalKb)
                          .arg(phone.totalKb - phone.freeKb)
                          .arg(phone.freeKb)
                          .replace(QStringLiteral("%%"), QStringLiteral("%"))
                          .toUtf8());
    }
    writeFile(folder->filePath(QStringLiteral("devices.txt")), listing);
    return folder->path();
}

// Nothing opens on screen while pictures are taken.
class SilentWorkspace final : public Workspace {
public:
    void open(const QString &) override {}
    void reveal(const QString &) override {}
};

bool fuseUsable() {
    const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (device < 0)
        return false;
    ::close(device);
    return true;
}

bool spinUntil(const std::function<bool()> &condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

DeviceScreen *screenOf(QWidget &widget) {
    auto *content = qobject_cast<ContentView *>(&widget);
    return content ? qobject_cast<DeviceScreen *>(content->currentPage()) : nullptr;
}

Scene deviceScene(const QString &fileName, QList<Phone> phones) {
    return {fileName,
            [phones] {
                sandbox();
                const auto adb = std::make_shared<AdbService>(makeTool(phones), QStringList());
                auto *content = new ContentView(std::make_unique<AppViewModel>(adb),
                                                std::make_unique<MountService>(adb, std::make_shared<FileProviderManager>(),
                                                                               std::make_shared<SilentWorkspace>()));
                content->resize(pageWidth, pageHeight);
                return std::unique_ptr<QWidget>(content);
            },
            [phones](QWidget &widget) {
                auto *content = qobject_cast<ContentView *>(&widget);
                // The first scan and the storage figures.
                spinUntil([&] { return !content->model().isBusy() && screenOf(widget) &&
                                       screenOf(widget)->cards().size() == phones.size(); },
                          10000);
                for (const Phone &phone : phones) {
                    if (!phone.mounted)
                        continue;
                    DeviceCard *card = screenOf(widget)->cardFor(phone.serial);
                    if (!card)
                        continue;
                    card->mountButton()->click();
                    if (!spinUntil([&] { return content->mount().mountOf(phone.serial).state == MountState::mounted; }, 20000))
                        std::fprintf(stderr, "%s did not mount: %s\n", phone.serial.toLocal8Bit().constData(),
                                     content->mount().mountOf(phone.serial).error.value_or(QString()).toLocal8Bit().constData());
                }
                // Button shadows and the settled layout.
                spinUntil([] { return false; }, 300);
            }};
}

// The pairing page of the connection guide, filled in and paired.
Scene pairingScene() {
    Scene scene = deviceScene(QStringLiteral("guide-pair-code.png"), {});
    scene.prepare = [](QWidget &widget) {
        auto *content = qobject_cast<ContentView *>(&widget);
        PairingFlow &flow = content->model().pairing();
        flow.setPairingAddress(QStringLiteral("192.168.1.20:37251"));
        flow.setConnectAddress(QStringLiteral("192.168.1.20:41234"));
        flow.setCode(QStringLiteral("482913"));
        content->setShowConnectGuide(true);
        auto *guide = qobject_cast<ConnectGuideView *>(content->currentPage());
        guide->showPairing();
        spinUntil([&] { return flow.support() != PairingFlow::Support::unknown; }, 10000);
        qobject_cast<PairingView *>(guide->detailPage())->pairButton()->click();
        spinUntil([&] { return flow.phase() == PairingFlow::Phase::finished; }, 10000);
        spinUntil([] { return false; }, 300);
    };
    return scene;
}

} // namespace

QList<Scene> deviceScenes() {
    const Phone cable{QStringLiteral("R5CT1234567"), QStringLiteral("device"), QStringLiteral("Pixel_7"), 62'500'000, 12'011'719};
    const Phone wireless{QStringLiteral("192.168.1.42:5555"), QStringLiteral("device"), QStringLiteral("Galaxy_S23"),
                         244'140'625, 97'656'250};
    // Paired with a code: reached at the port its Wireless debugging screen shows.
    const Phone paired{QStringLiteral("192.168.1.20:41234"), QStringLiteral("device"), QStringLiteral("Pixel_9"),
                       122'070'312, 71'289'062};
    const Phone waiting{QStringLiteral("R58N12ABCDE"), QStringLiteral("unauthorized"), QString()};
    const Phone locked{QStringLiteral("0123456789ABCDEF"),
                       QStringLiteral("no permissions (user in plugdev group; are your udev rules wrong?); see "
                                      "[http://developer.android.com/tools/device.html] usb:1-1"),
                       QString()};
    Phone mounted{QStringLiteral("2A191FDH300B7Y"), QStringLiteral("device"), QStringLiteral("Pixel_8_Pro"), 122'070'312,
                  48'828'125};
    mounted.mounted = true;

    QList<Scene> scenes{
        deviceScene(QStringLiteral("device-empty.png"), {}),
        deviceScene(QStringLiteral("device-cable.png"), {cable}),
        deviceScene(QStringLiteral("device-wifi.png"), {wireless}),
        deviceScene(QStringLiteral("device-unauthorized.png"), {waiting}),
        deviceScene(QStringLiteral("device-no-permission.png"), {locked}),
        deviceScene(QStringLiteral("device-paired.png"), {paired}),
        pairingScene(),
    };
    if (fuseUsable()) {
        scenes << deviceScene(QStringLiteral("device-mounted.png"), {mounted})
               << deviceScene(QStringLiteral("device-list.png"), {mounted, wireless, waiting});
    } else {
        std::fprintf(stderr, "/dev/fuse cannot be opened: the mounted scenes are left out\n");
    }
    return scenes;
}

void finishDeviceScenes() {
    FileProviderManager domains;
    QEventLoop loop;
    auto cleanUp = [&]() -> QCoro::Task<> {
        for (const FileProviderDomain &domain : co_await domains.domains()) {
            try {
                co_await domains.removeDomain(domain);
            } catch (...) {
            }
        }
        loop.quit();
    };
    auto running = cleanUp();
    if (!running.isReady())
        loop.exec();
    sandbox().tools.clear();
}
