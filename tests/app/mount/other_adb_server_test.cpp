// The app's own path from a listed phone to a live mount, with the real adb
// tool, the real VaneFileProvider and a phone attached to an adb server of
// another port, as a user who set ANDROID_ADB_SERVER_PORT has.
#include "app/mount/mount_service.h"
#include "tests/app/mount/recording_workspace.h"
#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

// The adb tool's choice of server, for the life of the value.
class OtherAdbServer {
public:
    explicit OtherAdbServer(const QByteArray &port) { qputenv("ANDROID_ADB_SERVER_PORT", port); }
    ~OtherAdbServer() {
        testsupport::runAdb({"kill-server"});
        qunsetenv("ANDROID_ADB_SERVER_PORT");
    }
};

TEST(OtherAdbServerTest, APhoneOfTheServerTheAdbToolChoseIsListedMountedReadAndWritten) {
    if (const QString reason = domaintest::fuseUnusableReason(); !reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    const OtherAdbServer server("5047");
    testsupport::TempFolder phoneFolder, local;
    testsupport::PhoneSimOptions options;
    options.folder = phoneFolder.path();
    testsupport::PhoneSim phone(options);

    auto adb = std::make_shared<AdbService>();
    const QList<AndroidDevice> listed = testsupport::runTask(adb->devices());
    const auto found = std::find_if(listed.begin(), listed.end(), [&](const AndroidDevice &device) { return device.serial == phone.serial(); });
    ASSERT_NE(found, listed.end()) << "the window does not list the phone of the chosen server";

    domaintest::DomainSandbox sandbox;
    FileProviderManager::Settings settings = sandbox.settings();
    settings.hostProgram = QStringLiteral(DORVANE_BIN_DIR "/VaneFileProvider");
    MountService service(adb, std::make_shared<FileProviderManager>(settings), std::make_shared<RecordingWorkspace>());
    service.mount(*found);
    ASSERT_TRUE(testsupport::waitUntil([&] { return service.mountOf(phone.serial()).state != MountService::State::mounting; }));
    ASSERT_EQ(service.mountOf(phone.serial()).state, MountService::State::mounted) << qPrintable(service.mountOf(phone.serial()).error.value_or(""));
    const QString mounted = *service.mountOf(phone.serial()).mountPoint;

    const QString theirs = testsupport::writePatternFile(phoneFolder.file("Download/theirs.bin"), 300000, 3);
    EXPECT_EQ(testsupport::sha256OfFile(mounted + "/Download/theirs.bin"), theirs);
    const QString mine = testsupport::writePatternFile(local.file("mine.bin"), 300000, 4);
    EXPECT_TRUE(QFile::copy(local.file("mine.bin"), mounted + "/Download/mine.bin"));
    EXPECT_EQ(testsupport::sha256OfFile(phoneFolder.file("Download/mine.bin")), mine);

    service.unmount(phone.serial());
    EXPECT_TRUE(testsupport::waitUntil([&] { return service.mountOf(phone.serial()).state == MountService::State::unmounted; }));
    EXPECT_EQ(sandbox.leftovers(), QStringList());
}

} // namespace
