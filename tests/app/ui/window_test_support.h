#pragma once

#include "app/adb/adb_service.h"
#include "platform/workspace/workspace.h"
#include "tests/support/temp_folder.h"

#include <QAbstractButton>
#include <QString>
#include <QStringList>

#include <memory>

namespace windowtest {

// Notes what the app asks of the file manager instead of opening windows.
class NotingWorkspace : public Workspace {
public:
    void open(const QString &path) override { opened.append(path); }
    void reveal(const QString &path) override { revealed.append(path); }

    QStringList opened;
    QStringList revealed;
};

// The real adb tool behind a wrapper that notes every command, so a test can
// tell when the window scans. The adb server's list is shared by the whole
// machine, so the wrapper can also narrow "devices" to the test's own phones.
class RecordingAdb {
public:
    RecordingAdb();

    // An AdbService that runs the wrapper.
    std::shared_ptr<AdbService> service() const;

    // Only these serials appear in listings from now on (none: an empty list).
    void listOnly(const QStringList &serials);

    QStringList calls() const;
    int countCalls(const QString &prefix) const;

private:
    testsupport::TempFolder folder_;
};

// Points the user's settings into a private folder for the life of the
// value, so tests never read or write the real ones.
class PrivateSettings {
public:
    PrivateSettings();
    ~PrivateSettings();
    PrivateSettings(const PrivateSettings &) = delete;
    PrivateSettings &operator=(const PrivateSettings &) = delete;

    void setOnboardingDone(bool done);
    // As stored, read with a fresh settings object; absent when not stored.
    std::optional<bool> storedOnboardingFlag() const;

private:
    testsupport::TempFolder folder_;
};

// A click in the middle of a visible button.
void click(QAbstractButton *button);

} // namespace windowtest
