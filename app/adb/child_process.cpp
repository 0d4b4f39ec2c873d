#include "app/adb/child_process.h"

#include "app/adb/adb_error.h"

#include <QProcess>
#include <QTimer>

#include <coroutine>

namespace {

// Suspends until the child has exited or failed to start. The waiting
// coroutine is resumed from the event loop, not from inside QProcess's own
// signal, because resuming may destroy the QProcess.
class ChildEnd {
public:
    explicit ChildEnd(QProcess &process) : process_(process) {}

    bool await_ready() const noexcept { return process_.state() == QProcess::NotRunning; }

    void await_suspend(std::coroutine_handle<> waiting) {
        waiting_ = waiting;
        finished_ = QObject::connect(&process_, &QProcess::finished, &process_,
                                     [this](int, QProcess::ExitStatus) { resumeLater(); });
        failed_ = QObject::connect(&process_, &QProcess::errorOccurred, &process_, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) resumeLater();
        });
    }

    void await_resume() const noexcept {}

private:
    void resumeLater() {
        QObject::disconnect(finished_);
        QObject::disconnect(failed_);
        // Dropped with the QProcess if the waiting frame is destroyed first.
        QMetaObject::invokeMethod(&process_, [waiting = waiting_] { waiting.resume(); }, Qt::QueuedConnection);
    }

    QProcess &process_;
    std::coroutine_handle<> waiting_;
    QMetaObject::Connection finished_;
    QMetaObject::Connection failed_;
};

} // namespace

QCoro::Task<ChildOutput> runChildProcess(QString program, QStringList arguments, std::chrono::milliseconds limit) {
    QProcess process;
    bool timedOut = false;
    // Goes with the process. A child that ended before it fired, but whose
    // waiter has not resumed yet, did not run out of time.
    QTimer::singleShot(limit, &process, [&process, &timedOut] {
        timedOut = process.state() != QProcess::NotRunning;
        process.kill();
    });
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(QIODevice::ReadOnly);

    co_await ChildEnd(process);

    if (process.error() == QProcess::FailedToStart) throw ProcessLaunchError(process.errorString());

    ChildOutput output;
    output.exitCode = process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
    output.timedOut = timedOut;
    output.standardOutput = process.readAllStandardOutput();
    output.standardError = process.readAllStandardError();
    co_return output;
}
