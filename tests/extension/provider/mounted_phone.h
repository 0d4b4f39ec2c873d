#pragma once

#include "tests/support/phone_sim.h"
#include "tests/support/temp_folder.h"

#include <QProcess>
#include <QString>

#include <chrono>
#include <memory>

// An emulated phone mounted by the real VaneFileProvider program through
// the real adb server. The destructor ends the program with SIGTERM and
// checks that it left no mount, no process and no downloaded copy.
class MountedPhone {
public:
    // `temporaryFolder`: the program's TMPDIR, when not a folder of its own.
    explicit MountedPhone(testsupport::PhoneSimOptions options = {}, const QString &temporaryFolder = {});
    ~MountedPhone();
    MountedPhone(const MountedPhone &) = delete;
    MountedPhone &operator=(const MountedPhone &) = delete;

    // The phone's /sdcard, as a local folder.
    QString phoneFile(const QString &relative) const { return phoneFolder_.file(relative); }
    const QString &phoneFolder() const { return phoneFolder_.path(); }
    QString mounted(const QString &relative = {}) const;
    const QString &serial() const { return phone_->serial(); }
    qint64 phonePid() const { return phone_->pid(); }
    // The media scans the phone took so far: "KIND<tab>PATH" each.
    QStringList scans() const { return phone_->scans(); }
    qint64 providerPid() const { return provider_.processId(); }
    const QString &temporaryFolder() const { return temporaryPath_; }
    // The downloaded copies that exist right now.
    QStringList downloadedCopies() const;
    // Standard error of the program so far.
    QString log() const;
    // Bytes the program's local files take on disk right now.
    qint64 localBytes() const;
    // Kills the emulated phone's process and starts a new one on the same
    // port and folder, as a phone whose adb daemon died comes back.
    void restartPhone();

    // True when the program ended on its own within `limit`, and well.
    bool waitForProgramEnd(std::chrono::milliseconds limit) {
        return provider_.waitForFinished(int(limit.count())) && provider_.exitStatus() == QProcess::NormalExit && provider_.exitCode() == 0;
    }
    // Ends the program as the app does; true when it left nothing behind.
    bool unmount();

private:
    testsupport::TempFolder phoneFolder_;
    testsupport::TempFolder mountFolder_;
    testsupport::TempFolder temporaryFolder_;
    QString temporaryPath_;
    testsupport::TempFolder logFolder_;
    testsupport::PhoneSimOptions options_;
    std::unique_ptr<testsupport::PhoneSim> phone_;
    QProcess provider_;
    QString logPath_;
    bool unmounted_ = false;
};

// A tmpfs of its own for the program's temporary folder, unmounted at the end.
class SmallTemporaryFolder {
public:
    explicit SmallTemporaryFolder(qint64 bytes);
    ~SmallTemporaryFolder();
    SmallTemporaryFolder(const SmallTemporaryFolder &) = delete;
    SmallTemporaryFolder &operator=(const SmallTemporaryFolder &) = delete;
    // False where tmpfs cannot be mounted (not root).
    bool mounted() const { return mounted_; }
    const QString &path() const { return folder_.path(); }

private:
    testsupport::TempFolder folder_;
    bool mounted_ = false;
};

// True when `path` is a mount point right now.
bool isMountPoint(const QString &path);
// Runs a program to its end: exit code and standard output (and error).
struct ProgramRun {
    int exitCode = -1;
    QString output;
    QString errors;
};
ProgramRun runProgram(const QString &program, const QStringList &arguments, int timeoutSeconds = 120);
