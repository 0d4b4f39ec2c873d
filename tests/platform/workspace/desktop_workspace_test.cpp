#include "platform/workspace/desktop_workspace.h"

#include "tests/platform/fileprovider/domain/domain_test_support.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QUrl>

#include <memory>

// Stands in for a file manager on a private session bus: records what it is
// asked to show.
class RecordingFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;
    QStringList startupIds;

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId) {
        shown.append(uris);
        startupIds.append(startupId);
    }
};

// Takes the place of xdg-open: QDesktopServices hands file URLs to it.
class RecordingOpener : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openUrl(const QUrl &url) { opened.append(url); }
};

namespace {

// A dbus-daemon of the test's own, with no services to activate, so no real
// file manager can answer.
class PrivateSessionBus {
public:
    PrivateSessionBus() {
        QFile config(folder_.file("bus.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                    "<policy context=\"default\"><allow user=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
                                    "</policy></busconfig>")
                         .arg(folder_.path())
                         .toUtf8());
        config.close();
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                                                     QStringLiteral("--config-file=") + config.fileName()});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000)) {
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        }
    }
    ~PrivateSessionBus() {
        daemon_.terminate();
        if (!daemon_.waitForFinished(3000)) {
            daemon_.kill();
            daemon_.waitForFinished(3000);
        }
    }

    const QString &address() const { return address_; }

private:
    testsupport::TempFolder folder_;
    QProcess daemon_;
    QString address_;
};

class DesktopWorkspaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bus_ = new PrivateSessionBus;
        // Qt reads the address when the session bus is first used.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_->address().toUtf8());
    }
    static void TearDownTestSuite() {
        QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
        delete bus_;
        bus_ = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(bus_->address().isEmpty()) << "dbus-daemon did not start";
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener_, "openUrl");
    }
    void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    // Puts the recording file manager on the bus, on a connection of its own.
    void startFileManager() {
        QDBusConnection connection =
            QDBusConnection::connectToBus(bus_->address(), QStringLiteral("file-manager"));
        ASSERT_TRUE(connection.isConnected());
        ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager_,
                                              QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    }
    void stopFileManager() {
        QDBusConnection connection(QStringLiteral("file-manager"));
        connection.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        connection.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }

    static PrivateSessionBus *bus_;
    RecordingOpener opener_;
    RecordingFileManager fileManager_;
    DesktopWorkspace workspace_;
    testsupport::TempFolder folder_;
};

PrivateSessionBus *DesktopWorkspaceTest::bus_ = nullptr;

TEST_F(DesktopWorkspaceTest, withoutADisplayNothingIsOpenedOrShown) {
    domaintest::ScopedVariable x11("DISPLAY", "");
    domaintest::ScopedVariable wayland("WAYLAND_DISPLAY", "");
    startFileManager();
    workspace_.open(folder_.path());
    workspace_.reveal(folder_.file("item"));
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_TRUE(opener_.opened.isEmpty());
    EXPECT_TRUE(fileManager_.shown.isEmpty());
    stopFileManager();
}

TEST_F(DesktopWorkspaceTest, opensFoldersAsFileUrls) {
    domaintest::ScopedVariable x11("DISPLAY", ":0");
    const QString path = folder_.file("Pixel 7 #work");
    workspace_.open(path);
    ASSERT_EQ(opener_.opened.size(), 1);
    EXPECT_EQ(opener_.opened[0].toLocalFile(), path);
    workspace_.open(QString());
    EXPECT_EQ(opener_.opened.size(), 1) << "an empty path opens nothing";
}

TEST_F(DesktopWorkspaceTest, revealAsksTheFileManagerToSelectTheItem) {
    domaintest::ScopedVariable wayland("WAYLAND_DISPLAY", "wayland-0");
    startFileManager();
    const QString path = folder_.file("Pixel 7");
    workspace_.reveal(path);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !fileManager_.shown.isEmpty(); }));
    ASSERT_EQ(fileManager_.shown[0].size(), 1);
    EXPECT_EQ(QUrl(fileManager_.shown[0][0]).toLocalFile(), path);
    EXPECT_EQ(fileManager_.startupIds[0], QString());
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(opener_.opened.isEmpty()) << "no fallback once the file manager answered";
    stopFileManager();
}

TEST_F(DesktopWorkspaceTest, revealOpensTheParentWhenNoFileManagerAnswers) {
    domaintest::ScopedVariable x11("DISPLAY", ":0");
    const QString path = folder_.file("Pixel 7");
    workspace_.reveal(path);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !opener_.opened.isEmpty(); }));
    EXPECT_EQ(opener_.opened[0].toLocalFile(), folder_.path());
    EXPECT_TRUE(fileManager_.shown.isEmpty());
}

} // namespace

#include "desktop_workspace_test.moc"
