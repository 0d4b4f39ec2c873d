#include "app/adb/adb_error.h"
#include "app/adb/adb_locator.h"
#include "app/adb/adb_service.h"
#include "tests/app/adb/scripted_adb.h"
#include "tests/support/run_task.h"
#include "tests/support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace {

using testsupport::runTask;
using testsupport::TempFolder;
using testsupport::writeScriptedAdb;

// A service whose own resource folder holds the scripted tool; the fixed
// install places are left out so the machine's real adb cannot interfere.
class ScriptedRun : public ::testing::Test {
protected:
    ScriptedRun() : service(resources.path(), {}, std::chrono::seconds(2)) { writeScriptedAdb(resources.file("adb")); }

    QString run(const QStringList &arguments) { return runTask(service.run(arguments)); }

    AdbError runExpectingFailure(const QStringList &arguments) {
        try {
            run(arguments);
        } catch (const AdbError &error) {
            return error;
        }
        ADD_FAILURE() << "no AdbError for " << arguments.join(' ').toStdString();
        return AdbError::binaryNotFound();
    }

    QStringList calls() const {
        QFile log(resources.file("calls.log"));
        if (!log.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    TempFolder resources;
    AdbService service;
};

TEST_F(ScriptedRun, SuccessReturnsStandardOutputWholeAndDropsStandardError) {
    EXPECT_EQ(run({"ok-with-stderr"}), "result line\n");
    EXPECT_EQ(run({"empty"}), "");
    EXPECT_EQ(calls(), QStringList({"ok-with-stderr", "empty"}));
}

TEST_F(ScriptedRun, FailuresCarryTheJoinedCommandAndTheRightStream) {
    const AdbError withStderr = runExpectingFailure({"fail-with-stderr", "-s", "emulator-5554"});
    EXPECT_EQ(withStderr.kind(), AdbError::Kind::commandFailed);
    EXPECT_EQ(withStderr.command(), "fail-with-stderr -s emulator-5554");
    EXPECT_EQ(withStderr.output(), "error: device offline\n");
    EXPECT_EQ(withStderr.description(), "adb fail-with-stderr -s emulator-5554 failed:\nerror: device offline\n");

    const AdbError stdoutOnly = runExpectingFailure({"fail-stdout-only"});
    EXPECT_EQ(stdoutOnly.output(), "only stdout\n  keeps blanks  \n");

    const AdbError silent = runExpectingFailure({"fail-silent"});
    EXPECT_EQ(silent.output(), "");
    EXPECT_EQ(silent.description(), "adb fail-silent failed:\n");

    const AdbError killed = runExpectingFailure({"killed"});
    EXPECT_EQ(killed.command(), "killed");

    // One that never ends is killed at the service's limit.
    const AdbError hung = runExpectingFailure({"wait-for", resources.file("never")});
    EXPECT_EQ(hung.output(), "No answer in 2 seconds. Is the phone asleep, locked or out of reach?");
}

TEST_F(ScriptedRun, CommandsRunAtOnceWithoutBlockingTheEventLoop) {
    const QString flag = resources.file("flag");
    // The first child only ends once the second has run: serialised runs would hang.
    auto waiting = service.run({"wait-for", flag});
    EXPECT_EQ(run({"create", flag}), "made " + flag);
    EXPECT_EQ(runTask(std::move(waiting)), "saw " + flag);

    // A timer fires while a child runs, and the child sees what it did.
    const QString timerFlag = resources.file("timer-flag");
    QTimer::singleShot(50, [&] { QFile(timerFlag).open(QIODevice::WriteOnly); });
    EXPECT_EQ(run({"wait-for", timerFlag}), "saw " + timerFlag);
}

TEST(AdbLookup, FixedCandidatesAreTriedInOrderAndMustBeExecutableFiles) {
    TempFolder resources, places;
    QDir(places.path()).mkpath("folder/adb");
    const QString notExecutable = writeScriptedAdb(places.file("plain/adb"), false);
    const QString first = writeScriptedAdb(places.file("first/adb"));
    const QString second = writeScriptedAdb(places.file("second/adb"));
    const QStringList candidates{places.file("missing/adb"), places.file("folder/adb"), notExecutable, first, second};
    EXPECT_EQ(locateAdb(resources.path(), candidates), first);
    EXPECT_EQ(locateAdb(resources.path(), {second, first}), second);
    // A folder named adb among the resources is not the tool.
    QDir(resources.path()).mkpath("adb");
    EXPECT_EQ(locateAdb(resources.path(), candidates), first);
    EXPECT_EQ(locateAdb(resources.path(), {notExecutable}), std::nullopt);
}

TEST(AdbLookup, PathThenTheSdkFoldersThenTheUsualPlaces) {
    TempFolder places;
    const QString onPath = places.file("bin/adb"), home = places.file("sdk-home/platform-tools/adb"),
                  root = places.file("sdk-root/platform-tools/adb"), studio = places.file("me/Android/Sdk/platform-tools/adb");
    const AdbSearchEnvironment environment{":relative:" + places.file("empty") + ":" + places.file("bin"),
                                           places.file("sdk-home"), places.file("sdk-root"), places.file("me")};
    const QStringList candidates = adbCandidates(environment);
    EXPECT_FALSE(candidates.join(":").contains("relative")) << "only absolute folders";
    EXPECT_EQ(candidates.mid(candidates.size() - 2), QStringList({"/usr/local/bin/adb", "/usr/bin/adb"}));
    // Each tool found in turn as the ones before it go away.
    for (const QString &tool : {onPath, home, root, studio}) writeScriptedAdb(tool);
    for (const QString &expected : {onPath, home, root, studio}) {
        EXPECT_EQ(locateAdb({}, candidates.mid(0, candidates.size() - 2)), expected);
        QFile::remove(expected);
    }
    EXPECT_EQ(defaultResourceDirectory(), QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/dorvane"));
}

TEST(AdbLookup, AMissingToolFailsEveryRunWithoutStartingAnythingForTheServiceLife) {
    TempFolder resources, places;
    // Would leave a trace in calls.log if anything ran it.
    const QString later = writeScriptedAdb(places.file("adb"), false);
    AdbService service(resources.path(), {later});
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            runTask(service.run({"empty"}));
            FAIL() << "ran";
        } catch (const AdbError &error) {
            EXPECT_EQ(error.kind(), AdbError::Kind::binaryNotFound);
            EXPECT_EQ(error.description(), "Couldn't find the `adb` tool. Install Android Platform Tools "
                                           "(e.g. `sudo apt install adb`).");
        }
        // Installing the tool afterwards changes nothing for this service.
        QFile::setPermissions(later, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EXPECT_FALSE(service.adbPath().has_value());
    EXPECT_FALSE(QFile::exists(places.file("calls.log")));

    AdbService fresh(resources.path(), {later});
    EXPECT_EQ(runTask(fresh.run({"empty"})), "");
    EXPECT_TRUE(QFile::exists(places.file("calls.log")));
}

} // namespace
