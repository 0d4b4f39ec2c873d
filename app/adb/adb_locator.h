#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where the application keeps its own resources: share/dorvane beside the
// program's bin/ folder, in an install and in the build tree alike.
QString defaultResourceDirectory();

// The usual install places of the tool, tried in this order after the
// application's own copy. No search path or environment variable is used.
QStringList fixedAdbCandidates();

// The application's own "adb" in `resourceDirectory` wins whenever it exists
// (it is made 0755 first, and chosen even if that fails); otherwise the first
// of `fixedCandidates` that is a file the current user may execute.
std::optional<QString> locateAdb(const QString &resourceDirectory, const QStringList &fixedCandidates);
