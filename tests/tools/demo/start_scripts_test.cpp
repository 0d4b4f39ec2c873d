// The README's first command and the demo phone, run as a newcomer runs them:
// the real scripts, the real adb server, the real dorvane program.
#include "tests/support/adb_server.h"
#include "tests/support/temp_folder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using testsupport::TempFolder;

namespace {

const QString sourceDir = QStringLiteral(DORVANE_SOURCE_DIR);
const QString buildDir = QStringLiteral(DORVANE_BIN_DIR "/..");

QProcessEnvironment environmentWithout(const QStringList &names) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : names) environment.remove(name);
    return environment;
}

// An app run that touches nothing of the developer's: its own home, runtime
// folder and mount root.
QProcessEnvironment privateAppEnvironment(const TempFolder &place) {
    QDir(place.path()).mkpath("home");
    QDir(place.path()).mkpath("runtime");
    QFile::setPermissions(place.file("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = environmentWithout({"DISPLAY", "WAYLAND_DISPLAY"});
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("HOME", place.file("home"));
    environment.insert("XDG_RUNTIME_DIR", place.file("runtime"));
    environment.insert("XDG_CONFIG_HOME", place.file("home/.config"));
    environment.insert("DORVANE_MOUNT_ROOT", place.file("home/Phones"));
    return environment;
}

// Reads a channel until a line matches; returns its first capture, or empty.
QString waitForLine(QProcess &process, QProcess::ProcessChannel channel, const QRegularExpression &pattern,
                    QByteArray &seen, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const QDeadlineTimer deadline(limit);
    process.setReadChannel(channel);
    while (!deadline.hasExpired()) {
        seen += channel == QProcess::StandardOutput ? process.readAllStandardOutput() : process.readAllStandardError();
        const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(seen));
        if (match.hasMatch()) return match.captured(1);
        if (process.state() == QProcess::NotRunning) break;
        process.waitForReadyRead(100);
    }
    return {};
}

qint64 childNamed(qint64 parent, const QByteArray &name, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const QDeadlineTimer deadline(limit);
    while (!deadline.hasExpired()) {
        QFile children(QString("/proc/%1/task/%1/children").arg(parent));
        if (children.open(QIODevice::ReadOnly)) {
            for (const QByteArray &pid : children.readAll().split(' ')) {
                QFile comm(QString("/proc/%1/comm").arg(QString::fromLatin1(pid.trimmed())));
                if (!pid.trimmed().isEmpty() && comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
                    return pid.trimmed().toLongLong();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

bool processGone(qint64 pid, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    const QDeadlineTimer deadline(limit);
    while (!deadline.hasExpired()) {
        if (::kill(pid_t(pid), 0) != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The line `adb devices -l` prints for a serial.
QString listedLine(const QString &serial) {
    for (const QString &line : testsupport::runAdb({"devices", "-l"}).output.split('\n'))
        if (line.startsWith(serial + ' ')) return line;
    return {};
}

struct StartedApp {
    QProcess script;
    QString serial;
    qint64 appPid = 0;
    QByteArray errors;

    ~StartedApp() {
        if (appPid > 0 && ::kill(pid_t(appPid), SIGTERM) == 0) processGone(appPid);
        if (script.state() != QProcess::NotRunning) {
            script.terminate();
            if (!script.waitForFinished(20000)) script.kill(), script.waitForFinished();
        }
    }
};

void startWithDemoPhone(StartedApp &app, const TempFolder &place) {
    app.script.setProcessEnvironment(privateAppEnvironment(place));
    app.script.start(sourceDir + "/scripts/start", {"--prebuilt", buildDir, "--demo-folder", place.file("sdcard")});
    ASSERT_TRUE(app.script.waitForStarted());
    app.serial = waitForLine(app.script, QProcess::StandardError,
                             QRegularExpression(R"(Demo phone (\S+) \(Demo_Phone\) is attached)"), app.errors);
    ASSERT_FALSE(app.serial.isEmpty()) << app.errors.toStdString();
    app.appPid = childNamed(app.script.processId(), "dorvane");
    ASSERT_GT(app.appPid, 0) << "dorvane was not started";
}

} // namespace

TEST(StartScript, WithoutADesktopSaysHowToRunItAndFails) {
    QProcess script;
    script.setProcessEnvironment(environmentWithout({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}));
    script.start(sourceDir + "/scripts/start");
    ASSERT_TRUE(script.waitForFinished(30000)) << "it went on to set up and build";
    EXPECT_EQ(script.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(script.exitCode(), 2);
    const QString errors = QString::fromUtf8(script.readAllStandardError());
    EXPECT_TRUE(errors.contains("no desktop session")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("xvfb-run -a scripts/start")) << errors.toStdString();
    EXPECT_TRUE(script.readAllStandardOutput().isEmpty());
}

TEST(DemoPhone, ServesTheSampleFolderToTheRealAdbTool) {
    testsupport::startAdbServer();
    TempFolder place;
    QProcess phone;
    phone.start(sourceDir + "/scripts/demo-phone",
                {"--build-dir", buildDir, "--folder", place.file("sdcard"), "--until-stdin-closes"});
    QByteArray output;
    const QString serial = waitForLine(phone, QProcess::StandardOutput, QRegularExpression(R"(^(\S+)\n)"), output);
    ASSERT_FALSE(serial.isEmpty()) << phone.readAllStandardError().toStdString();
    EXPECT_FALSE(serial.contains(':')) << "a cable phone's serial";

    ASSERT_TRUE(testsupport::waitForListedState(serial, "device"));
    EXPECT_TRUE(listedLine(serial).contains(" model:Demo_Phone ")) << listedLine(serial).toStdString();

    const QString camera = testsupport::runAdb({"-s", serial, "ls", "/sdcard/DCIM/Camera"}).output;
    EXPECT_EQ(camera.count(".jpg"), 4) << camera.toStdString();
    const QString pulled = place.file("pulled.pdf");
    const auto pull = testsupport::runAdb({"-s", serial, "pull", "/sdcard/Download/Welcome to the demo phone.pdf", pulled});
    ASSERT_EQ(pull.exitCode, 0) << pull.output.toStdString();
    EXPECT_EQ(testsupport::sha256OfFile(pulled),
              testsupport::sha256OfFile(place.file("sdcard/Download/Welcome to the demo phone.pdf")));

    phone.closeWriteChannel();
    EXPECT_TRUE(phone.waitForFinished(15000)) << "the phone outlived its parent's pipe";
    EXPECT_TRUE(testsupport::waitForListedState(serial, ""));
}

TEST(StartScript, StopsTheDemoPhoneWhenDorvaneExits) {
    testsupport::startAdbServer();
    TempFolder place;
    StartedApp app;
    startWithDemoPhone(app, place);
    ASSERT_TRUE(testsupport::waitForListedState(app.serial, "device"));
    EXPECT_TRUE(listedLine(app.serial).contains(" model:Demo_Phone "));

    ASSERT_EQ(::kill(pid_t(app.appPid), SIGTERM), 0);
    ASSERT_TRUE(app.script.waitForFinished(30000));
    app.appPid = 0;
    // The script ends with the app's status: 0 once the app has set up its
    // signal handling, 128 + SIGTERM if the signal came before that.
    EXPECT_TRUE(app.script.exitCode() == 0 || app.script.exitCode() == 128 + SIGTERM)
        << app.script.exitCode() << app.errors.toStdString() << app.script.readAllStandardError().toStdString();
    EXPECT_TRUE(testsupport::waitForListedState(app.serial, ""));
    EXPECT_TRUE(QDir(place.file("sdcard/DCIM/Camera")).entryList({"*.jpg"}).size() == 4) << "the folder is kept";
}

TEST(StartScript, AKilledStartStillStopsTheDemoPhone) {
    testsupport::startAdbServer();
    TempFolder place;
    StartedApp app;
    startWithDemoPhone(app, place);
    ASSERT_TRUE(testsupport::waitForListedState(app.serial, "device"));

    // No trap runs on SIGKILL: only the closed pipe tells the phone.
    app.script.kill();
    ASSERT_TRUE(app.script.waitForFinished(10000));
    EXPECT_TRUE(testsupport::waitForListedState(app.serial, ""));
}
