#pragma once

#include "platform/fileprovider/domain/file_provider_manager.h"
#include "tests/support/temp_folder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace domaintest {

// Why FUSE mounts cannot be made here, or empty when they can.
QString fuseUnusableReason();

// The stand-in host: a real libfuse program that mounts an empty folder.
QString standInProgram();

// Hosts are started detached; making the test program their subreaper lets
// a test reap the ones that ended instead of leaving zombies around.
void adoptOrphans();
// True once the process has ended (reaped here when it was adopted).
bool processEnded(qint64 pid);

// Sets an environment variable for the life of the value.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const QString &value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    QByteArray name_;
    std::optional<QByteArray> previous_;
};

// A private runtime folder and mount root, exported as XDG_RUNTIME_DIR and
// DORVANE_MOUNT_ROOT, so the manager's defaults point into the test.
class DomainSandbox {
public:
    DomainSandbox();
    // Unmounts and ends whatever a failed test left, before the folders go:
    // removing a folder with a live mount in it would delete through it.
    ~DomainSandbox();
    DomainSandbox(const DomainSandbox &) = delete;
    DomainSandbox &operator=(const DomainSandbox &) = delete;

    QString mountRoot() const { return mountRoot_.path(); }
    QString runtimeFolder() const { return runtime_.path(); }
    FileProviderManager::Settings settings(const QString &program = standInProgram()) const;

    // What is left: record files, folders under the mount root, mounts below
    // it. Empty when the sandbox is clean.
    QStringList leftovers() const;

private:
    testsupport::TempFolder runtime_;
    testsupport::TempFolder mountRoot_;
    ScopedVariable runtimeVariable_;
    ScopedVariable mountRootVariable_;
};

} // namespace domaintest
