#include "tests/app/ui/window_test_support.h"

#include "tests/support/adb_server.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace windowtest {

namespace {

// Lines of "devices" are kept when they are the header or name an allowed
// serial; the empty line the tool ends with is printed again.
const char *const wrapper = R"SCRIPT(#!/bin/sh
here=$(dirname "$0")
( IFS='|'; printf '%s\n' "$*" ) >> "$here/calls.log"
if [ "$1" = devices ] && [ -e "$here/allowed" ]; then
  listing=$("$here/real-adb" "$@"); status=$?
  printf '%s\n' "$listing" | awk -v list="$(tr '\n' ' ' < "$here/allowed")" '
    BEGIN { n = split(list, serials, " "); for (i = 1; i <= n; i++) allowed[serials[i]] = 1 }
    NR == 1 || ($1 in allowed)'
  printf '\n'
  exit $status
fi
exec "$here/real-adb" "$@"
)SCRIPT";

void writeFile(const QString &path, const QByteArray &contents) {
    QFile file(path + ".new");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write " + path.toStdString());
    file.write(contents);
    file.close();
    // Renamed into place, so a running command never reads half a file.
    QFile::remove(path);
    QFile::rename(path + ".new", path);
}

} // namespace

RecordingAdb::RecordingAdb() {
    writeFile(folder_.file("adb"), wrapper);
    QFile::setPermissions(folder_.file("adb"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!QFile::link(testsupport::adbTool(), folder_.file("real-adb"))) throw std::runtime_error("cannot link the adb tool");
}

std::shared_ptr<AdbService> RecordingAdb::service() const {
    return std::make_shared<AdbService>(folder_.path(), QStringList());
}

void RecordingAdb::listOnly(const QStringList &serials) {
    writeFile(folder_.file("allowed"), serials.join('\n').toUtf8() + '\n');
}

QStringList RecordingAdb::calls() const {
    QFile log(folder_.file("calls.log"));
    if (!log.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

int RecordingAdb::countCalls(const QString &prefix) const {
    int count = 0;
    for (const QString &call : calls()) count += call.startsWith(prefix) ? 1 : 0;
    return count;
}

PrivateSettings::PrivateSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
}

PrivateSettings::~PrivateSettings() {
    // Back to the standard place; nothing was written there.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

void PrivateSettings::setOnboardingDone(bool done) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Dorvane", "Dorvane");
    settings.setValue("hasCompletedOnboarding", done);
    settings.sync();
}

std::optional<bool> PrivateSettings::storedOnboardingFlag() const {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Dorvane", "Dorvane");
    if (!settings.contains("hasCompletedOnboarding")) return std::nullopt;
    return settings.value("hasCompletedOnboarding").toBool();
}

void click(QAbstractButton *button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible()) << button->text().toStdString();
    ASSERT_TRUE(button->isEnabled()) << button->text().toStdString();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() / 2, button->height() / 2));
}

} // namespace windowtest
