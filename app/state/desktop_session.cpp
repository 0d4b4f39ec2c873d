#include "app/state/desktop_session.h"

#include <QtGlobal>

bool hasDesktopSession() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QString noDesktopSessionText() {
    return QStringLiteral(
        "dorvane: there is no desktop session here (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "Dorvane shows a window and a tray icon, so start it from your desktop. Without a screen it\n"
        "runs under a virtual X server (xvfb-run dorvane) or with QT_QPA_PLATFORM=offscreen dorvane;\n"
        "`dorvane --list` prints the phones adb sees and needs no desktop.\n");
}
