#pragma once

#include <QString>

namespace testsupport {

// Writes a shell script standing in for the adb tool. Its first argument
// picks a behaviour (see the script's cases); every run appends its arguments
// to `<folder>/calls.log`, one run per line, arguments separated by "|".
QString writeScriptedAdb(const QString &path, bool executable = true);

} // namespace testsupport
