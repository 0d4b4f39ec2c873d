#include "platform/workspace/desktop_workspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

namespace {

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

void openLocation(const QString &path) {
    if (path.isEmpty()) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace

DesktopWorkspace::DesktopWorkspace(QObject *parent) : QObject(parent) {}

bool DesktopWorkspace::desktopPresent() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || !qEnvironmentVariableIsEmpty("DISPLAY");
}

void DesktopWorkspace::open(const QString &path) {
    if (!desktopPresent()) return;
    openLocation(path);
}

void DesktopWorkspace::reveal(const QString &path) {
    if (!desktopPresent() || path.isEmpty()) return;
    const QString parent = QFileInfo(path).absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openLocation(parent);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(fileManagerService, fileManagerPath, fileManagerService,
                                                       QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    // Asynchronous, so a slow or activating file manager never holds the UI.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [parent](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (finished->isError()) openLocation(parent);
    });
}
