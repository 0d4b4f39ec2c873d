#include "app/mount/mount_service.h"

#include "platform/fileprovider/domain/mount_table.h"
#include "tests/app/mount/recording_workspace.h"
#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>

using domaintest::DomainSandbox;
using State = MountService::State;
using testsupport::Attach;
using testsupport::PhoneSim;
using testsupport::PhoneSimOptions;

namespace {

const QString hostProgram = QStringLiteral(DORVANE_BIN_DIR "/VaneFileProvider");
constexpr std::chrono::seconds mountLimit(20);

void writeFile(const QString &path, const QByteArray &contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

PhoneSimOptions phoneOptions(const QString &folder, const QString &wifiAddress) {
    PhoneSimOptions options;
    options.folder = folder;
    options.model = "Pixel_7";
    options.wifiAddress = wifiAddress;
    return options;
}

// What `ls -A` prints for a folder, one name a line; fails on a non-zero exit.
QStringList listWithLs(const QString &folder) {
    QProcess ls;
    ls.start(QStringLiteral("ls"), {QStringLiteral("-A"), QStringLiteral("-1"), folder});
    if (!ls.waitForFinished(20000) || ls.exitCode() != 0) {
        ADD_FAILURE() << "ls " << folder.toStdString() << ": " << ls.readAllStandardError().toStdString();
        return {};
    }
    QStringList names = QString::fromUtf8(ls.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// Two emulated phones of the same model on the real adb server, mounted
// through the real VaneFileProvider.
class MountServicePhonesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { domaintest::adoptOrphans(); }

    void SetUp() override {
        const QString reason = domaintest::fuseUnusableReason();
        if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
        ASSERT_TRUE(QFileInfo(hostProgram).isExecutable()) << "VaneFileProvider was not built";
        writeFile(firstFolder_.file("DCIM/Camera/IMG_0001.jpg"), "jpeg");
        writeFile(firstFolder_.file("notes.txt"), "first phone");
        writeFile(secondFolder_.file("Download/report.pdf"), "pdf");
        first_ = std::make_unique<PhoneSim>(phoneOptions(firstFolder_.path(), "127.0.0.2"));
        second_ = std::make_unique<PhoneSim>(phoneOptions(secondFolder_.path(), ""));
        service_ = makeService();
    }

    void TearDown() override {
        if (service_) testsupport::runTask(service_->removeAllDomains());
        for (const qint64 pid : hosts_) {
            EXPECT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(pid); })) << "host " << pid;
        }
        EXPECT_EQ(sandbox_.leftovers(), QStringList());
    }

    std::unique_ptr<MountService> makeService() {
        domains_ = std::make_shared<FileProviderManager>(sandbox_.settings(hostProgram));
        return std::make_unique<MountService>(std::make_shared<AdbService>(), domains_, workspace_);
    }

    // Mounts and waits; remembers the host so TearDown can check it ended.
    DeviceMount mountAndWait(const AndroidDevice &device) {
        service_->mount(device);
        const bool settled = testsupport::waitUntil(
            [&] {
                const State state = service_->mountOf(device.serial).state;
                return state == State::mounted || state == State::unmounted;
            },
            mountLimit);
        EXPECT_TRUE(settled);
        const DeviceMount mount = service_->mountOf(device.serial);
        EXPECT_EQ(mount.state, State::mounted) << mount.error.value_or("").toStdString();
        for (const DomainRecord &record : domains_->records()) {
            if (record.identifier == MountService::domainIdentifier(device.serial)) hosts_.append(record.pid);
        }
        return mount;
    }

    static AndroidDevice deviceOf(const PhoneSim &phone) {
        return AndroidDevice{phone.serial(), "Pixel_7", AndroidDevice::State::device};
    }

    QString root() const { return QFileInfo(sandbox_.mountRoot()).canonicalFilePath(); }

    DomainSandbox sandbox_;
    testsupport::TempFolder firstFolder_;
    testsupport::TempFolder secondFolder_;
    std::unique_ptr<PhoneSim> first_;
    std::unique_ptr<PhoneSim> second_;
    std::shared_ptr<RecordingWorkspace> workspace_ = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<FileProviderManager> domains_;
    std::unique_ptr<MountService> service_;
    QList<qint64> hosts_;
};

TEST_F(MountServicePhonesTest, twoPhonesOfOneModelMountSideBySideAndComeApartCleanly) {
    const DeviceMount one = mountAndWait(deviceOf(*first_));
    const DeviceMount two = mountAndWait(deviceOf(*second_));
    ASSERT_EQ(one.state, State::mounted);
    ASSERT_EQ(two.state, State::mounted);
    EXPECT_EQ(one.mountPoint, root() + "/Pixel 7");
    EXPECT_EQ(two.mountPoint, root() + "/Pixel 7 (2)");
    EXPECT_EQ(one.domain->displayName(), "Pixel 7");
    EXPECT_EQ(two.domain->displayName(), "Pixel 7");
    EXPECT_TRUE(isFuseMountedAt(currentMounts(), *one.mountPoint));
    EXPECT_TRUE(isFuseMountedAt(currentMounts(), *two.mountPoint));

    EXPECT_EQ(listWithLs(*one.mountPoint), (QStringList{"DCIM", "notes.txt"}));
    EXPECT_EQ(listWithLs(*one.mountPoint + "/DCIM/Camera"), QStringList{"IMG_0001.jpg"});
    EXPECT_EQ(listWithLs(*two.mountPoint), QStringList{"Download"});

    EXPECT_EQ(workspace_->opened, (QStringList{*one.mountPoint, *two.mountPoint}));
    service_->reveal(second_->serial());
    EXPECT_EQ(workspace_->revealed, QStringList{*two.mountPoint});

    service_->unmount(first_->serial());
    ASSERT_TRUE(testsupport::waitUntil([&] { return service_->mountOf(first_->serial()).state == State::unmounted; },
                                       mountLimit));
    EXPECT_FALSE(isMountedAt(currentMounts(), *one.mountPoint));
    EXPECT_FALSE(QFileInfo::exists(*one.mountPoint));
    EXPECT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(hosts_[0]); }));
    EXPECT_EQ(listWithLs(*two.mountPoint), QStringList{"Download"}) << "the other phone keeps working";

    // The app restarts and cleans up what the last run left mounted.
    service_ = makeService();
    EXPECT_EQ(testsupport::runTask(domains_->domains()).size(), 1);
    testsupport::runTask(service_->removeAllDomains());
    EXPECT_TRUE(service_->mounts().isEmpty());
    EXPECT_EQ(sandbox_.leftovers(), QStringList());
}

// A mount that ends behind the app's back: unmounted by hand, which the
// mount table tells at once, or its host killed, which the quiet scan finds.
TEST_F(MountServicePhonesTest, aMountEndedFromOutsideIsCleanedUpAsUnmountWould) {
    for (const bool killHost : {false, true}) {
        SCOPED_TRACE(killHost ? "host killed" : "fusermount3 -u");
        const DeviceMount mount = mountAndWait(deviceOf(*second_));
        ASSERT_EQ(mount.state, State::mounted);
        const qint64 host = hosts_.back();
        if (killHost) {
            ASSERT_EQ(::kill(pid_t(host), SIGKILL), 0);
            ASSERT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(host); }));
            service_->dropLostMounts();
        } else {
            ASSERT_EQ(QProcess::execute("fusermount3", {"-u", *mount.mountPoint}), 0);
        }
        EXPECT_TRUE(testsupport::waitUntil(
            [&] { return service_->mountOf(second_->serial()).state == State::unmounted; }, std::chrono::seconds(4)));
        EXPECT_FALSE(QFileInfo::exists(*mount.mountPoint));
        EXPECT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(host); }));
        EXPECT_EQ(sandbox_.leftovers(), QStringList());
    }
}

TEST_F(MountServicePhonesTest, aWirelessPhoneMountsAndUnmounts) {
    const QString wireless = "127.0.0.2:5555";
    ASSERT_EQ(testsupport::runAdb({"-s", first_->serial(), "tcpip", "5555"}).exitCode, 0);
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return testsupport::runAdb({"connect", wireless}).output.contains("connected to " + wireless); },
        std::chrono::seconds(10)));
    ASSERT_TRUE(testsupport::waitForListedState(wireless, "device"));

    const DeviceMount mount = mountAndWait(AndroidDevice{wireless, "Pixel_7", AndroidDevice::State::device});
    ASSERT_EQ(mount.state, State::mounted);
    EXPECT_EQ(mount.domain->identifier(), "127-DOT-0-DOT-0-DOT-2-COLON-5555");
    EXPECT_EQ(listWithLs(*mount.mountPoint), (QStringList{"DCIM", "notes.txt"}));

    service_->unmount(wireless);
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return service_->mountOf(wireless).state == State::unmounted; }, mountLimit));
    EXPECT_FALSE(isMountedAt(currentMounts(), *mount.mountPoint));
    EXPECT_EQ(sandbox_.leftovers(), QStringList());
}

} // namespace
