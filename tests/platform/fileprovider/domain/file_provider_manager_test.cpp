#include "platform/fileprovider/domain/file_provider_error.h"
#include "platform/fileprovider/domain/file_provider_manager.h"
#include "platform/fileprovider/domain/mount_table.h"
#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/run_task.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using domaintest::DomainSandbox;
using Kind = FileProviderError::Kind;

namespace {

class FileProviderManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { domaintest::adoptOrphans(); }

    void SetUp() override {
        const QString reason = domaintest::fuseUnusableReason();
        if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
    }

    void TearDown() override {
        if (sandbox_) {
            EXPECT_EQ(sandbox_->leftovers(), QStringList());
        }
    }

    FileProviderManager &manager(FileProviderManager::Settings settings) {
        manager_ = std::make_unique<FileProviderManager>(std::move(settings));
        return *manager_;
    }
    FileProviderManager &manager() { return manager(sandbox_->settings()); }

    DomainRecord recordOf(const QString &identifier) const {
        for (const DomainRecord &record : manager_->records()) {
            if (record.identifier == identifier) return record;
        }
        ADD_FAILURE() << "no record for " << identifier.toStdString();
        return {};
    }

    // The error an add fails with; fails the test when it succeeds.
    FileProviderError addFailure(const FileProviderDomain &domain) {
        try {
            testsupport::runTask(manager_->addDomain(domain));
        } catch (const FileProviderError &error) {
            return error;
        }
        ADD_FAILURE() << "the add succeeded";
        return FileProviderError(Kind::invalidIdentifier, {});
    }

    std::unique_ptr<DomainSandbox> sandbox_ = std::make_unique<DomainSandbox>();
    std::unique_ptr<FileProviderManager> manager_;
};

bool isLiveFuseMount(const QString &path) { return isFuseMountedAt(currentMounts(), path); }

TEST_F(FileProviderManagerTest, addsListsLocatesAndRemovesDomains) {
    FileProviderManager &domains = manager();
    const FileProviderDomain first("emulator-5554", "Pixel 7");
    const FileProviderDomain second("127-DOT-0-DOT-0-DOT-2-COLON-5555", "Pixel 7");
    testsupport::runTask(domains.addDomain(first));
    testsupport::runTask(domains.addDomain(second));

    const QString root = QFileInfo(sandbox_->mountRoot()).canonicalFilePath();
    const std::optional<QString> firstPlace = testsupport::runTask(domains.userVisibleLocation(first));
    const std::optional<QString> secondPlace = testsupport::runTask(domains.userVisibleLocation(second));
    EXPECT_EQ(firstPlace, root + "/Pixel 7");
    EXPECT_EQ(secondPlace, root + "/Pixel 7 (2)");
    ASSERT_TRUE(firstPlace && secondPlace);
    EXPECT_TRUE(isLiveFuseMount(*firstPlace));
    EXPECT_TRUE(isLiveFuseMount(*secondPlace));
    EXPECT_TRUE(QDir(*firstPlace).isReadable());
    EXPECT_TRUE(QDir(*firstPlace).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    const QList<FileProviderDomain> listed = testsupport::runTask(domains.domains());
    EXPECT_EQ(listed, (QList<FileProviderDomain>{second, first})) << "ordered by identifier";

    const qint64 firstHost = recordOf(first.identifier()).pid;
    const qint64 secondHost = recordOf(second.identifier()).pid;
    EXPECT_FALSE(domaintest::processEnded(firstHost));

    testsupport::runTask(domains.removeDomain(first));
    EXPECT_FALSE(isLiveFuseMount(*firstPlace));
    EXPECT_FALSE(QFileInfo::exists(*firstPlace));
    EXPECT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(firstHost); }));
    EXPECT_TRUE(isLiveFuseMount(*secondPlace)) << "the other domain is untouched";
    EXPECT_EQ(testsupport::runTask(domains.domains()), QList<FileProviderDomain>{second});

    // The freed name is handed out again.
    const FileProviderDomain third("R5CT", "Pixel 7");
    testsupport::runTask(domains.addDomain(third));
    EXPECT_EQ(testsupport::runTask(domains.userVisibleLocation(third)), root + "/Pixel 7");

    testsupport::runTask(domains.removeDomain(second));
    testsupport::runTask(domains.removeDomain(third));
    EXPECT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(secondHost); }));
    EXPECT_TRUE(testsupport::runTask(domains.domains()).isEmpty());
}

TEST_F(FileProviderManagerTest, removesADomainWhoseHostWasKilled) {
    FileProviderManager &domains = manager();
    const FileProviderDomain domain("emulator-5558", "Killed");
    testsupport::runTask(domains.addDomain(domain));
    const DomainRecord record = recordOf(domain.identifier());
    ASSERT_EQ(::kill(pid_t(record.pid), SIGKILL), 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(record.pid); }));
    EXPECT_TRUE(isLiveFuseMount(record.mountPoint)) << "a killed server leaves its mount behind";
    EXPECT_EQ(testsupport::runTask(domains.userVisibleLocation(domain)), record.mountPoint);

    testsupport::runTask(domains.removeDomain(domain));
    EXPECT_FALSE(isMountedAt(currentMounts(), record.mountPoint));
}

TEST_F(FileProviderManagerTest, aHostThatExitsFailsWithItsComplaint) {
    domaintest::ScopedVariable behaviour("STAND_IN_BEHAVIOUR", "fail");
    manager();
    const FileProviderError error = addFailure({"emulator-5554", "Pixel 7"});
    EXPECT_EQ(error.kind(), Kind::programExited);
    EXPECT_EQ(error.description(),
              "stand_in_provider stopped before its folder was mounted: stand-in: no phone for emulator-5554");
}

} // namespace
