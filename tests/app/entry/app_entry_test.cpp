// The dorvane program as a child process, and a phone mounted end to end
// through the window with the real adb server, the emulated phone and the
// real VaneFileProvider, then cleaned up by the next start of the program.
#include "app/mount/mount_service.h"
#include "app/state/app_view_model.h"
#include "app/state/dorvane_app.h"
#include "app/ui/card_parts.h"
#include "app/ui/content_view.h"
#include "app/ui/device_card.h"
#include "app/ui/device_screen.h"
#include "app/ui/main_window.h"
#include "app/ui/styled_button.h"
#include "platform/fileprovider/domain/mount_table.h"
#include "platform/workspace/workspace.h"
#include "tests/app/mount/recording_workspace.h"
#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/adb_server.h"
#include "tests/support/phone_sim.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace std::chrono_literals;

// The user's settings in a private folder for the life of the value.
class PrivateSettings {
public:
    PrivateSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path()); }
    ~PrivateSettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    PrivateSettings(const PrivateSettings &) = delete;
    PrivateSettings &operator=(const PrivateSettings &) = delete;
    void setOnboardingDone() const {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Dorvane", "Dorvane").setValue("hasCompletedOnboarding", true);
    }

private:
    testsupport::TempFolder folder_;
};

void click(QAbstractButton *button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->text().toStdString();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() / 2, button->height() / 2));
}

const QString program = QStringLiteral(DORVANE_PROGRAM);
std::string text(const QString &value) {
    return value.toStdString();
}

// ---- the program ----

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ProgramRun runProgram(const QStringList &arguments, const QProcessEnvironment &environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "dorvane " << text(arguments.join(' ')) << " did not finish";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QProcessEnvironment withoutDesktop() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    return environment;
}

TEST(DorvaneProgram, withoutADesktopSessionItSaysHowToRunIt) {
    const ProgramRun run = runProgram({}, withoutDesktop());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("there is no desktop session")) << text(run.err);
    EXPECT_TRUE(run.err.contains("QT_QPA_PLATFORM=offscreen")) << text(run.err);
    EXPECT_TRUE(run.err.contains("xvfb-run")) << text(run.err);
    EXPECT_FALSE(run.err.contains("qt.qpa")) << "no toolkit abort";
}

// ---- end to end ----

QStringList listWithLs(const QString &folder) {
    QProcess ls;
    ls.start("ls", {"-A", "-1", folder});
    if (!ls.waitForFinished(20000) || ls.exitCode() != 0) {
        ADD_FAILURE() << "ls " << text(folder) << ": " << ls.readAllStandardError().toStdString();
        return {};
    }
    QStringList names = QString::fromUtf8(ls.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

void writeFile(const QString &path, const QByteArray &contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

class EndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { domaintest::adoptOrphans(); }

    void SetUp() override {
        const QString reason = domaintest::fuseUnusableReason();
        if (!reason.isEmpty()) GTEST_SKIP() << reason.toStdString();
        ASSERT_TRUE(QFileInfo(QCoreApplication::applicationDirPath() + "/VaneFileProvider").isExecutable());
        writeFile(phoneFolder_.file("DCIM/Camera/IMG_0001.jpg"), "jpeg");
        writeFile(phoneFolder_.file("notes.txt"), "hello from the phone");
        testsupport::PhoneSimOptions options;
        options.folder = phoneFolder_.path();
        options.model = "Pixel_7";
        // 62,500,000 KB in all, 12,011,719 KB free.
        options.df = "62500000,50488281,12011719";
        phone_ = std::make_unique<testsupport::PhoneSim>(options);
        settings_.setOnboardingDone();
        // The same flag for the program, which reads $XDG_CONFIG_HOME.
        QSettings childSettings(config_.file("Dorvane/Dorvane.conf"), QSettings::IniFormat);
        childSettings.setValue("hasCompletedOnboarding", true);
    }

    void TearDown() override {
        view_.reset();
        FileProviderManager cleaner;
        for (const DomainRecord &record : cleaner.records()) hosts_.append(record.pid);
        for (const FileProviderDomain &domain : testsupport::runTask(cleaner.domains()))
            testsupport::runTask(cleaner.removeDomain(domain));
        for (const qint64 pid : hosts_) EXPECT_TRUE(testsupport::waitUntil([&] { return domaintest::processEnded(pid); }));
        EXPECT_EQ(sandbox_.leftovers(), QStringList());
    }

    // The window as the program makes it, but with a file manager that only
    // takes notes.
    ContentView &showWindow() {
        view_ = std::make_unique<ContentView>(
            std::make_unique<AppViewModel>(),
            std::make_unique<MountService>(std::make_shared<AdbService>(), std::make_shared<FileProviderManager>(),
                                           workspace_));
        view_->resize(560, 660);
        view_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
        return *view_;
    }

    DeviceCard *card() const {
        auto *screen = qobject_cast<DeviceScreen *>(view_->currentPage());
        return screen ? screen->cardFor(phone_->serial()) : nullptr;
    }

    bool waitForState(MountState state) {
        return testsupport::waitUntil([&] { return view_->mount().mountOf(phone_->serial()).state == state; }, 30s);
    }

    void rememberHosts() {
        for (const DomainRecord &record : FileProviderManager().records()) hosts_.append(record.pid);
    }

    QProcessEnvironment programEnvironment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", config_.path());
        return environment;
    }

    PrivateSettings settings_;
    domaintest::DomainSandbox sandbox_; // XDG_RUNTIME_DIR and DORVANE_MOUNT_ROOT for us and the program
    testsupport::TempFolder config_;
    testsupport::TempFolder phoneFolder_;
    std::unique_ptr<testsupport::PhoneSim> phone_;
    std::shared_ptr<RecordingWorkspace> workspace_ = std::make_shared<RecordingWorkspace>();
    std::unique_ptr<ContentView> view_;
    QList<qint64> hosts_;
};

TEST_F(EndToEndTest, aPhoneMountsFromItsCardListsItsFilesAndUnmounts) {
    showWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return card() != nullptr; }, 20s));
    ASSERT_TRUE(testsupport::waitUntil([&] { return card()->storageLabel()->text() != "\u2014"; }, 20s));
    EXPECT_EQ(text(card()->name()), "Pixel 7");
    EXPECT_EQ(text(card()->statusLabel()->text()), "Connected");
    EXPECT_EQ(text(card()->storageLabel()->text()), "12.3 GB of 64 GB");

    click(card()->mountButton());
    ASSERT_TRUE(waitForState(MountState::mounted)) << text(view_->mount().mountOf(phone_->serial()).error.value_or(""));
    rememberHosts();
    const QString mountPoint = *view_->mount().mountOf(phone_->serial()).mountPoint;
    EXPECT_EQ(QFileInfo(mountPoint).fileName().toStdString(), "Pixel 7");
    EXPECT_TRUE(isFuseMountedAt(currentMounts(), mountPoint));
    EXPECT_EQ(listWithLs(mountPoint), (QStringList{"DCIM", "notes.txt"}));
    EXPECT_EQ(listWithLs(mountPoint + "/DCIM/Camera"), QStringList{"IMG_0001.jpg"});
    EXPECT_EQ(workspace_->opened, QStringList{mountPoint}) << "the phone opens in the file manager";
    EXPECT_EQ(text(card()->statusLabel()->text()), "Mounted");

    click(card()->unmountButton());
    ASSERT_TRUE(waitForState(MountState::unmounted));
    EXPECT_FALSE(isMountedAt(currentMounts(), mountPoint));
    EXPECT_FALSE(QFileInfo::exists(mountPoint));
    EXPECT_TRUE(card()->mountButton()->isVisible());
}

TEST_F(EndToEndTest, quittingLeavesTheMountAndTheProgramsNextStartRemovesIt) {
    showWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return card() != nullptr; }, 20s));
    card()->nameField()->setText("Work phone");
    click(card()->mountButton());
    ASSERT_TRUE(waitForState(MountState::mounted));
    rememberHosts();
    const QString mountPoint = *view_->mount().mountOf(phone_->serial()).mountPoint;
    EXPECT_EQ(QFileInfo(mountPoint).fileName().toStdString(), "Work phone");

    // Quitting does no clean-up of its own.
    view_.reset();
    ASSERT_EQ(testsupport::runTask(FileProviderManager().domains()).size(), 1);
    EXPECT_EQ(listWithLs(mountPoint), (QStringList{"DCIM", "notes.txt"}));

    QProcess dorvane;
    dorvane.setProcessEnvironment(programEnvironment());
    dorvane.start(program, {});
    ASSERT_TRUE(dorvane.waitForStarted());
    const bool cleaned = testsupport::waitUntil(
        [&] { return FileProviderManager().records().isEmpty() && !isMountedAt(currentMounts(), mountPoint); }, 30s);
    EXPECT_TRUE(cleaned) << dorvane.readAllStandardError().toStdString();
    EXPECT_EQ(dorvane.state(), QProcess::Running) << "the device screen goes on after its clean-up";

    ::kill(pid_t(dorvane.processId()), SIGTERM);
    ASSERT_TRUE(dorvane.waitForFinished(10000));
    EXPECT_EQ(dorvane.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(dorvane.exitCode(), 0);
}

} // namespace
