#pragma once

#include "app/adb/android_device.h"
#include "app/adb/pairing_report_reader.h"
#include "app/adb/storage_reader.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

// How "adb pair" ended, and the tool's own words for it.
struct PairReport {
    PairOutcome outcome = PairOutcome::refused;
    QString text;
};

// How "adb connect" ended, and the tool's own words for it.
struct ConnectReport {
    bool connected = false;
    QString text;
};

// The one place that starts the adb tool. Lives on the UI thread; every
// command is a child process awaited without blocking the event loop, so
// several may run at once.
class AdbService {
public:
    // A command that runs longer is killed and fails: "adb shell" of a
    // Wi-Fi phone gone out of reach would otherwise wait until TCP gives up,
    // a quarter of an hour later, and the app with it.
    static constexpr std::chrono::seconds defaultCommandLimit{30};

    // `resourceDirectory` holds the application's own copy of the tool;
    // `fixedCandidates` are the places tried after it.
    explicit AdbService(QString resourceDirectory = defaultResourceDirectoryForService(),
                        QStringList fixedCandidates = defaultCandidatesForService(),
                        std::chrono::milliseconds commandLimit = defaultCommandLimit);

    // Looked up on first use and kept for the service's life, found or not.
    const std::optional<QString> &adbPath();
    // A fresh lookup, ignoring the kept one.
    std::optional<QString> locateAdb() const;

    // Runs the tool with `arguments` and returns its standard output.
    // Throws AdbError (tool missing, non-zero exit) or ProcessLaunchError.
    QCoro::Task<QString> run(QStringList arguments);

    // Waits synchronously for "adb start-server"; failures are ignored.
    void startServer() const;

    QCoro::Task<QList<AndroidDevice>> devices();
    // Moves a cable phone onto adb over Wi-Fi and returns its new serial.
    QCoro::Task<QString> enableWireless(QString serial);
    QCoro::Task<> disconnect(QString serial);
    // None when the phone's answer cannot be read.
    QCoro::Task<std::optional<StoragePair>> storage(QString serial);

    // The tool's release from "adb version", asked once and kept; none when
    // the answer cannot be read. Throws what run() throws.
    QCoro::Task<std::optional<int>> release();
    // "adb pair ADDRESS CODE". Both must pass checkPhoneAddress and
    // checkPairingCode; anything else throws std::invalid_argument and runs nothing.
    QCoro::Task<PairReport> pair(QString address, QString code);
    // "adb connect ADDRESS"; the report says whether it reached the phone.
    QCoro::Task<ConnectReport> connect(QString address);

private:
    static QString defaultResourceDirectoryForService();
    static QStringList defaultCandidatesForService();

    QString resourceDirectory_;
    QStringList fixedCandidates_;
    std::chrono::milliseconds commandLimit_;
    bool lookedUp_ = false;
    std::optional<QString> adbPath_;
    std::optional<std::optional<int>> release_;
};
