#include "tests/app/adb/scripted_adb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace testsupport {

namespace {

const char *const script = R"SCRIPT(#!/bin/sh
here=$(dirname "$0")
( IFS='|'; printf '%s\n' "$*" ) >> "$here/calls.log"
case "$1" in
  ok-with-stderr) printf 'result line\n'; printf 'warning: ignored\n' >&2; exit 0 ;;
  empty) exit 0 ;;
  fail-with-stderr) printf 'partial stdout\n'; printf 'error: device offline\n' >&2; exit 1 ;;
  fail-stdout-only) printf 'only stdout\n  keeps blanks  \n'; exit 1 ;;
  fail-silent) exit 7 ;;
  killed) kill -9 $$ ;;
  invalid-utf8) printf 'a\377b\303(c\n' ;;
  big) head -c 1048576 /dev/zero | tr '\0' 'x'; head -c 1048576 /dev/zero | tr '\0' 'y' >&2; printf 'end' ;;
  big-fail) head -c 1048576 /dev/zero | tr '\0' 'e' >&2; exit 2 ;;
  args) shift; for argument in "$@"; do printf '[%s]\n' "$argument"; done ;;
  environment) printf '%s|%s' "$DORVANE_SCRIPTED_MARK" "$(pwd)" ;;
  wait-for) while [ ! -e "$2" ]; do sleep 0.01; done; printf 'saw %s' "$2" ;;
  create) : > "$2"; printf 'made %s' "$2" ;;
  *) printf 'unknown case %s\n' "$1" >&2; exit 64 ;;
esac
)SCRIPT";

} // namespace

QString writeScriptedAdb(const QString &path, bool executable) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write scripted adb");
    file.write(script);
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) permissions |= QFile::ExeOwner;
    file.setPermissions(permissions);
    return path;
}

} // namespace testsupport
