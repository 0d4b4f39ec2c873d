#include "platform/fileprovider/domain/unmount_command.h"

#include "platform/fileprovider/domain/mount_table.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QCoro/QCoroProcess>

#include <chrono>
#include <memory>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds toolLimit(10000);

struct UnmountTool {
    QString program;
    QStringList plain;
    QStringList lazy;
};

std::optional<UnmountTool> findUnmountTool(const QString &directory) {
    const QString fusermount = QStandardPaths::findExecutable(QStringLiteral("fusermount3"));
    if (!fusermount.isEmpty()) {
        return UnmountTool{fusermount, {QStringLiteral("-u"), QStringLiteral("--"), directory},
                           {QStringLiteral("-u"), QStringLiteral("-z"), QStringLiteral("--"), directory}};
    }
    const QString umount = QStandardPaths::findExecutable(QStringLiteral("umount"));
    if (!umount.isEmpty() && ::geteuid() == 0) {
        return UnmountTool{umount, {QStringLiteral("--"), directory},
                           {QStringLiteral("-l"), QStringLiteral("--"), directory}};
    }
    return std::nullopt;
}

// The tool's merged output; empty when it succeeded.
QCoro::Task<QString> runTool(QString program, QStringList arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto wrapped = qCoro(*process);
    const bool started = co_await wrapped.start(program, arguments);
    if (!started) co_return process->errorString();
    const bool finished = co_await wrapped.waitForFinished(toolLimit);
    if (!finished) {
        process->kill();
        process->waitForFinished(1000);
        co_return QStringLiteral("%1 did not finish").arg(program);
    }
    const QString output = QString::fromLocal8Bit(process->readAll()).trimmed();
    if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0) co_return QString();
    co_return output.isEmpty() ? QStringLiteral("%1 failed").arg(program) : output;
}

} // namespace

QCoro::Task<QString> unmountDirectory(QString directory) {
    if (!isMountedAt(currentMounts(), directory)) co_return QString();
    const std::optional<UnmountTool> tool = findUnmountTool(directory);
    if (!tool) co_return QStringLiteral("Neither fusermount3 nor umount can be used.");

    QString output = co_await runTool(tool->program, tool->plain);
    if (!isMountedAt(currentMounts(), directory)) co_return QString();
    output = co_await runTool(tool->program, tool->lazy);
    if (!isMountedAt(currentMounts(), directory)) co_return QString();
    co_return output.isEmpty() ? QStringLiteral("It is still mounted.") : output;
}
