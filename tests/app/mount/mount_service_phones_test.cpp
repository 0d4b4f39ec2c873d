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

// An emulated phone on the real adb server, mounted
// through the real VaneFileProvider.
class MountServicePhonesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { domaintest::adoptOrphans(); }

    void SetUp() override {
        const QString reason = domaintest::fuseUnusableReason();
        if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
        ASSERT_TRUE(QFileInfo(hostProgram).isExecutable()) << "VaneFileProvider was not built";
        writeFile(secondFolder_.file("Download/report.pdf"), "pdf");
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

    DomainSandbox sandbox_;
    testsupport::TempFolder secondFolder_;
    std::unique_ptr<PhoneSim> second_;
    std::shared_ptr<RecordingWorkspace> workspace_ = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<FileProviderManager> domains_;
    std::unique_ptr<MountService> service_;
    QList<qint64> hosts_;
};

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

} // namespace
