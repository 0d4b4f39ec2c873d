#include "app/adb/adb_error.h"
#include "app/adb/adb_service.h"
#include "app/state/phone_report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <QCoro/QCoroTask>

#include <cstdio>

namespace {

// Lists the phones the adb tool sees, with the free space of those that are ready.
QCoro::Task<int> printPhones() {
    AdbService adb;
    try {
        const QList<AndroidDevice> devices = co_await adb.devices();
        QHash<QString, StoragePair> storageBySerial;
        for (const AndroidDevice &device : devices) {
            if (device.state != AndroidDevice::State::device) continue;
            try {
                if (auto storage = co_await adb.storage(device.serial)) storageBySerial.insert(device.serial, *storage);
            } catch (const std::exception &) {
                // A phone that cannot report its space is still listed.
            }
        }
        std::fputs(formatPhoneReport(devices, storageBySerial).toLocal8Bit().constData(), stdout);
        co_return 0;
    } catch (const AdbError &error) {
        std::fprintf(stderr, "%s\n", error.description().toLocal8Bit().constData());
    } catch (const ProcessLaunchError &error) {
        std::fprintf(stderr, "%s\n", error.description().toLocal8Bit().constData());
    }
    co_return 1;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Dorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Dorvane shows the shared storage of Android phones in the file manager.\n"
                       "For now it lists the phones that `adb devices -l` reports (serial, state, model\n"
                       "and free space) and exits."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    QTimer::singleShot(0, &app, [] { printPhones().then([](int status) { QCoreApplication::exit(status); }); });
    return app.exec();
}
