#include "app/mount/mount_service.h"

#include "platform/fileprovider/domain/mount_table.h"
#include "tests/app/mount/recording_workspace.h"
#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/run_task.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

#include <csignal>

using domaintest::DomainSandbox;
using State = MountService::State;

namespace {

AndroidDevice phone(const QString &serial, const QString &model = "Pixel_7",
                    AndroidDevice::State state = AndroidDevice::State::device) {
    return AndroidDevice{serial, model, state};
}

// The service against the stand-in host; no adb tool is found, which a
// mount shrugs off.
class MountServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { domaintest::adoptOrphans(); }

    void SetUp() override {
        const QString reason = domaintest::fuseUnusableReason();
        if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
        service_ = makeService(sandbox_.settings());
    }

    void TearDown() override {
        if (service_) testsupport::runTask(service_->removeAllDomains());
        EXPECT_EQ(sandbox_.leftovers(), QStringList());
    }

    std::unique_ptr<MountService> makeService(FileProviderManager::Settings settings) {
        domains_ = std::make_shared<FileProviderManager>(std::move(settings));
        auto noAdb = std::make_shared<AdbService>(sandbox_.runtimeFolder() + "/no-adb", QStringList());
        return std::make_unique<MountService>(noAdb, domains_, workspace_);
    }

    bool waitForState(const QString &serial, State state) {
        return testsupport::waitUntil([&] { return service_->mountOf(serial).state == state; });
    }

    QString root() const { return QFileInfo(sandbox_.mountRoot()).canonicalFilePath(); }

    DomainSandbox sandbox_;
    std::shared_ptr<RecordingWorkspace> workspace_ = std::make_shared<RecordingWorkspace>();
    std::shared_ptr<FileProviderManager> domains_;
    std::unique_ptr<MountService> service_;
};

TEST_F(MountServiceTest, mountsOpensRevealsAndUnmounts) {
    QStringList changes;
    QObject::connect(service_.get(), &MountService::mountChanged, [&](const QString &serial) { changes.append(serial); });
    service_->mount(phone("emulator-5554", "Pixel_7"));
    EXPECT_EQ(service_->mountOf("emulator-5554"),
              (DeviceMount{State::mounting, std::nullopt, std::nullopt, std::nullopt}));
    ASSERT_TRUE(waitForState("emulator-5554", State::mounted));

    const DeviceMount mounted = service_->mountOf("emulator-5554");
    EXPECT_EQ(mounted.domain, FileProviderDomain("emulator-5554", "Pixel 7"));
    EXPECT_EQ(mounted.mountPoint, root() + "/Pixel 7");
    EXPECT_EQ(mounted.error, std::nullopt);
    EXPECT_TRUE(isFuseMountedAt(currentMounts(), root() + "/Pixel 7"));
    EXPECT_EQ(workspace_->opened, QStringList{root() + "/Pixel 7"}) << "a new mount is opened";
    EXPECT_GE(changes.size(), 2);
    EXPECT_EQ(changes.last(), "emulator-5554");

    service_->reveal("emulator-5554");
    EXPECT_EQ(workspace_->revealed, QStringList{root() + "/Pixel 7"});
    service_->open("emulator-5554");
    EXPECT_EQ(workspace_->opened.size(), 2);

    service_->unmount("emulator-5554");
    DeviceMount unmounting = mounted;
    unmounting.state = State::unmounting;
    EXPECT_EQ(service_->mountOf("emulator-5554"), unmounting) << "only the state changes";
    ASSERT_TRUE(waitForState("emulator-5554", State::unmounted));
    EXPECT_EQ(service_->mountOf("emulator-5554"), DeviceMount{});
    EXPECT_TRUE(service_->mounts().contains("emulator-5554")) << "an unmounted entry stays";
    EXPECT_TRUE(testsupport::runTask(domains_->domains()).isEmpty());
}

// A mount that ends behind the app's back: unmounted by hand, which the
// mount table tells at once, or its host killed, which the quiet scan finds.
TEST_F(MountServiceTest, aMountEndedFromOutsideIsCleanedUpAsUnmountWould) {
    for (const bool killHost : {false, true}) {
        SCOPED_TRACE(killHost ? "host killed" : "fusermount3 -u");
        service_->mount(phone("emulator-5554"));
        ASSERT_TRUE(waitForState("emulator-5554", State::mounted));
        const QString mountPoint = *service_->mountOf("emulator-5554").mountPoint;
        ASSERT_EQ(domains_->records().size(), 1);
        const qint64 host = domains_->records().front().pid;
        if (killHost) {
            ASSERT_EQ(::kill(pid_t(host), SIGKILL), 0);
            ASSERT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(host); }));
            service_->dropLostMounts();
        } else {
            ASSERT_EQ(QProcess::execute("fusermount3", {"-u", mountPoint}), 0);
        }
        EXPECT_TRUE(testsupport::waitUntil([&] { return service_->mountOf("emulator-5554").state == State::unmounted; },
                                           std::chrono::seconds(4)));
        EXPECT_FALSE(QFileInfo::exists(mountPoint));
        EXPECT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(host); }));
        EXPECT_EQ(sandbox_.leftovers(), QStringList());
    }
}

TEST_F(MountServiceTest, ignoresRequestsThatDoNotFitTheState) {
    service_->unmount("emulator-5554");
    service_->reveal("emulator-5554");
    service_->open("emulator-5554");
    EXPECT_FALSE(service_->mounts().contains("emulator-5554")) << "unmount without an entry";
    EXPECT_TRUE(workspace_->revealed.isEmpty() && workspace_->opened.isEmpty()) << "nothing to show";

    service_->mount(phone("emulator-5554"), QString("First"));
    service_->mount(phone("emulator-5554"), QString("Second"));
    service_->unmount("emulator-5554");
    EXPECT_EQ(service_->mountOf("emulator-5554").state, State::mounting) << "unmount while mounting is ignored";
    ASSERT_TRUE(waitForState("emulator-5554", State::mounted));
    EXPECT_EQ(service_->mountOf("emulator-5554").domain->displayName(), "First");
    EXPECT_EQ(testsupport::runTask(domains_->domains()).size(), 1) << "the second mount did nothing";

    service_->mount(phone("emulator-5554"), QString("Again"));
    EXPECT_EQ(service_->mountOf("emulator-5554").domain->displayName(), "First") << "mount while mounted is ignored";

    service_->unmount("emulator-5554");
    service_->mount(phone("emulator-5554"), QString("While unmounting"));
    service_->unmount("emulator-5554");
    EXPECT_EQ(service_->mountOf("emulator-5554").state, State::unmounting);
    ASSERT_TRUE(waitForState("emulator-5554", State::unmounted));
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(service_->mountOf("emulator-5554").state, State::unmounted) << "no mount was started meanwhile";
}

TEST_F(MountServiceTest, aMissingHostEndsUnmountedWithTheReasonAndAFreshMountClearsIt) {
    service_ = makeService(sandbox_.settings(sandbox_.runtimeFolder() + "/bin/VaneFileProvider"));
    service_->mount(phone("emulator-5554"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return service_->mountOf("emulator-5554").error.has_value(); }));
    const DeviceMount failed = service_->mountOf("emulator-5554");
    EXPECT_EQ(failed.state, State::unmounted);
    EXPECT_EQ(failed.domain, std::nullopt);
    EXPECT_EQ(failed.mountPoint, std::nullopt);
    EXPECT_TRUE(failed.error->startsWith("Couldn't add to the file manager: VaneFileProvider is missing"))
        << failed.error->toStdString();
    EXPECT_TRUE(workspace_->opened.isEmpty());
    EXPECT_EQ(sandbox_.leftovers(), QStringList());

    service_->mount(phone("emulator-5554"));
    EXPECT_EQ(service_->mountOf("emulator-5554"),
              (DeviceMount{State::mounting, std::nullopt, std::nullopt, std::nullopt}))
        << "the error goes when a new mount starts";
    ASSERT_TRUE(testsupport::waitUntil([&] { return service_->mountOf("emulator-5554").error.has_value(); }));
}

TEST_F(MountServiceTest, aStaleDomainWithTheSameIdentifierMakesWayForTheNewMount) {
    testsupport::runTask(domains_->addDomain({"emulator-5554", "Left over"}));
    service_->mount(phone("emulator-5554"), QString("Fresh"));
    ASSERT_TRUE(waitForState("emulator-5554", State::mounted));
    EXPECT_EQ(testsupport::runTask(domains_->domains()), QList<FileProviderDomain>({{"emulator-5554", "Fresh"}}));
    EXPECT_FALSE(QFileInfo::exists(root() + "/Left over"));
}

TEST_F(MountServiceTest, removeAllDomainsClearsEverythingAlsoFromAnEarlierRun) {
    int cleared = 0;
    QObject::connect(service_.get(), &MountService::mountsCleared, [&] { ++cleared; });
    testsupport::runTask(service_->removeAllDomains());
    EXPECT_TRUE(service_->mounts().isEmpty()) << "with nothing registered";
    EXPECT_EQ(cleared, 1);

    service_->mount(phone("emulator-5554"));
    service_->mount(phone("127.0.0.2:5555"));
    ASSERT_TRUE(waitForState("emulator-5554", State::mounted));
    ASSERT_TRUE(waitForState("127.0.0.2:5555", State::mounted));
    EXPECT_EQ(service_->mountOf("127.0.0.2:5555").domain->identifier(), "127-DOT-0-DOT-0-DOT-2-COLON-5555");
    EXPECT_EQ(service_->mountOf("127.0.0.2:5555").mountPoint, root() + "/Pixel 7 (2)");

    // The app restarts: a new service finds the domains of the old one.
    service_ = makeService(sandbox_.settings());
    EXPECT_TRUE(service_->mounts().isEmpty());
    EXPECT_EQ(testsupport::runTask(domains_->domains()).size(), 2);
    testsupport::runTask(service_->removeAllDomains());
    EXPECT_TRUE(testsupport::runTask(domains_->domains()).isEmpty());
    EXPECT_EQ(sandbox_.leftovers(), QStringList());
}

} // namespace
