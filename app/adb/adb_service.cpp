#include "app/adb/adb_service.h"

#include "app/adb/adb_error.h"
#include "app/adb/adb_locator.h"
#include "app/adb/child_process.h"
#include "app/adb/device_list_reader.h"
#include "app/adb/pairing_input.h"
#include "app/adb/wifi_address_reader.h"

#include <QProcess>
#include <QCoro/QCoroTimer>

#include <chrono>
#include <stdexcept>
#include <utility>

namespace {

const QString wirelessPort = QStringLiteral("5555");

} // namespace

AdbService::AdbService(QString resourceDirectory, QStringList fixedCandidates, std::chrono::milliseconds commandLimit)
    : resourceDirectory_(std::move(resourceDirectory)), fixedCandidates_(std::move(fixedCandidates)), commandLimit_(commandLimit) {}

QString AdbService::defaultResourceDirectoryForService() { return defaultResourceDirectory(); }
QStringList AdbService::defaultCandidatesForService() { return defaultAdbCandidates(); }

const std::optional<QString> &AdbService::adbPath() {
    if (!lookedUp_) {
        adbPath_ = locateAdb();
        lookedUp_ = true;
    }
    return adbPath_;
}

std::optional<QString> AdbService::locateAdb() const { return ::locateAdb(resourceDirectory_, fixedCandidates_); }

QCoro::Task<QString> AdbService::run(QStringList arguments) {
    const std::optional<QString> path = adbPath();
    if (!path) throw AdbError::binaryNotFound();

    const ChildOutput child = co_await runChildProcess(*path, arguments, commandLimit_);
    if (child.timedOut) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(commandLimit_).count();
        throw AdbError::commandFailed(arguments.join(QLatin1Char(' ')),
                                      QStringLiteral("No answer in %1 seconds. Is the phone asleep, locked or out of reach?").arg(seconds));
    }
    if (child.exitCode == 0) co_return QString::fromUtf8(child.standardOutput);

    const QByteArray &message = child.standardError.isEmpty() ? child.standardOutput : child.standardError;
    throw AdbError::commandFailed(arguments.join(QLatin1Char(' ')), QString::fromUtf8(message));
}

void AdbService::startServer() const {
    const std::optional<QString> path = locateAdb();
    if (!path) return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(*path, {QStringLiteral("start-server")});
    if (process.waitForStarted(-1)) process.waitForFinished(-1);
}

// Argument lists are built before the co_await: GCC 12 miscompiles braced
// temporaries inside co_await expressions.
QCoro::Task<QList<AndroidDevice>> AdbService::devices() {
    const QStringList arguments{QStringLiteral("devices"), QStringLiteral("-l")};
    const QString listing = co_await run(arguments);
    co_return parseDevices(listing);
}

QCoro::Task<QString> AdbService::enableWireless(QString serial) {
    const QStringList addressQuery{QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("ip"),
                                   QStringLiteral("-f"), QStringLiteral("inet"), QStringLiteral("addr"),
                                   QStringLiteral("show"), QStringLiteral("wlan0")};
    const QString addressReport = co_await run(addressQuery);
    const std::optional<QString> address = parseWifiAddress(addressReport);
    if (!address) {
        throw AdbError::commandFailed(QStringLiteral("wifi"),
                                      QStringLiteral("Couldn't find the phone's Wi-Fi IP. Make sure Wi-Fi is on "
                                                     "and the phone is on the same network."));
    }

    const QStringList networkMode{QStringLiteral("-s"), serial, QStringLiteral("tcpip"), wirelessPort};
    co_await run(networkMode);
    // The phone's adb restarts in network mode before it accepts a connection.
    co_await QCoro::sleepFor(std::chrono::seconds(2));
    const QString wirelessSerial = *address + QLatin1Char(':') + wirelessPort;
    const QStringList connect{QStringLiteral("connect"), wirelessSerial};
    co_await run(connect);
    co_return wirelessSerial;
}

QCoro::Task<> AdbService::disconnect(QString serial) {
    const QStringList arguments{QStringLiteral("disconnect"), serial};
    co_await run(arguments);
}

QCoro::Task<std::optional<StoragePair>> AdbService::storage(QString serial) {
    const QStringList arguments{QStringLiteral("-s"), serial, QStringLiteral("shell"), QStringLiteral("df"),
                                QStringLiteral("-k"), QStringLiteral("/sdcard")};
    const QString report = co_await run(arguments);
    co_return parseStorage(report);
}

QCoro::Task<std::optional<int>> AdbService::release() {
    if (release_) co_return *release_;
    const QStringList arguments{QStringLiteral("version")};
    const QString report = co_await run(arguments);
    release_ = readAdbRelease(report);
    co_return *release_;
}

QCoro::Task<PairReport> AdbService::pair(QString address, QString code) {
    const CheckedInput checkedAddress = checkPhoneAddress(address);
    const CheckedInput checkedCode = checkPairingCode(code);
    if (!checkedAddress.ok() || !checkedCode.ok()) throw std::invalid_argument("unchecked pairing input");

    const QStringList arguments{QStringLiteral("pair"), checkedAddress.value, checkedCode.value};
    PairReport report;
    try {
        report.text = co_await run(arguments);
        report.outcome = readPairReport(true, report.text);
    } catch (const AdbError &error) {
        if (error.kind() != AdbError::Kind::commandFailed) throw;
        report.text = error.output();
        report.outcome = readPairReport(false, report.text);
    }
    report.text = report.text.trimmed();
    co_return report;
}

QCoro::Task<ConnectReport> AdbService::connect(QString address) {
    const CheckedInput checked = checkPhoneAddress(address);
    if (!checked.ok()) throw std::invalid_argument("unchecked connect address");
    const QStringList arguments{QStringLiteral("connect"), checked.value};
    const QString text = co_await run(arguments);
    co_return ConnectReport{readConnectReport(text), text.trimmed()};
}
