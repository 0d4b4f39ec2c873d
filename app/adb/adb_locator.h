#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where the application keeps its own resources: share/dorvane beside the
// program's bin/ folder, in an install and in the build tree alike.
QString defaultResourceDirectory();

// What the search for the tool reads from the user's session.
struct AdbSearchEnvironment {
    QString path;           // $PATH
    QString androidHome;    // $ANDROID_HOME
    QString androidSdkRoot; // $ANDROID_SDK_ROOT
    QString home;           // the home folder
};

AdbSearchEnvironment currentAdbSearchEnvironment();

// The places of the tool, tried in this order after the application's own
// copy. PATH comes first: the adb server is shared by every client of the
// user, and a client of another version kills it and starts its own, so
// Dorvane uses the adb the user's terminal uses. Then the SDK the user named
// ($ANDROID_HOME, then the older $ANDROID_SDK_ROOT), Android Studio's default
// SDK, and the usual install places for a session whose PATH lacks them.
QStringList adbCandidates(const AdbSearchEnvironment &environment);
QStringList defaultAdbCandidates();

// The application's own "adb" in `resourceDirectory` wins whenever it exists
// (it is made 0755 first, and chosen even if that fails); otherwise the first
// of `fixedCandidates` that is a file the current user may execute.
std::optional<QString> locateAdb(const QString &resourceDirectory, const QStringList &fixedCandidates);
