#pragma once

#include <QString>

#include <functional>

// A display name turned into one safe directory name: "/" and control
// characters replaced, surrounding blanks trimmed, at most 240 UTF-8 bytes.
// Empty, "." and ".." give `fallback` (made safe the same way), and
// "Phone" when that is unusable too.
QString safeDirectoryName(const QString &displayName, const QString &fallback);

// The first of "NAME", "NAME (2)", "NAME (3)", ... that `isTaken` refuses.
QString uniqueDirectoryName(const QString &safeName, const std::function<bool(const QString &)> &isTaken);
