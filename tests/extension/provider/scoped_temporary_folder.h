#pragma once

#include "tests/support/temp_folder.h"

#include <QByteArray>

#include <memory>

// Makes a fresh folder the process's temporary folder for the life of the
// value, so that what the code under test leaves there is removed with it.
class ScopedTemporaryFolder {
public:
    ScopedTemporaryFolder() : previous_(qgetenv("TMPDIR")), hadPrevious_(qEnvironmentVariableIsSet("TMPDIR")) {
        qputenv("TMPDIR", folder_.path().toLocal8Bit());
    }
    ~ScopedTemporaryFolder() {
        if (hadPrevious_) qputenv("TMPDIR", previous_);
        else qunsetenv("TMPDIR");
    }
    ScopedTemporaryFolder(const ScopedTemporaryFolder &) = delete;
    ScopedTemporaryFolder &operator=(const ScopedTemporaryFolder &) = delete;

    const QString &path() const { return folder_.path(); }

private:
    testsupport::TempFolder folder_;
    QByteArray previous_;
    bool hadPrevious_;
};
