#include "app/state/phone_report.h"

#include <QLocale>

namespace {

QString storageText(const StoragePair &storage) {
    const QLocale locale = QLocale::system();
    return QStringLiteral("%1 free of %2").arg(locale.formattedDataSize(storage.free), locale.formattedDataSize(storage.total));
}

} // namespace

QString formatPhoneReport(const QList<AndroidDevice> &devices, const QHash<QString, StoragePair> &storageBySerial) {
    if (devices.isEmpty()) return QStringLiteral("No phones found.\n");

    qsizetype serialWidth = 0;
    for (const AndroidDevice &device : devices) serialWidth = std::max(serialWidth, device.serial.size());

    QString report;
    for (const AndroidDevice &device : devices) {
        QString line = device.serial.leftJustified(serialWidth) + QStringLiteral("  ") +
                       deviceStateText(device.state).leftJustified(12) + QStringLiteral("  ") +
                       (device.model.isEmpty() ? QStringLiteral("-") : device.model);
        if (device.isWireless()) line += QStringLiteral("  (Wi-Fi)");
        const auto storage = storageBySerial.constFind(device.serial);
        if (storage != storageBySerial.cend()) line += QStringLiteral("  ") + storageText(*storage);
        report += line + QLatin1Char('\n');
    }
    return report;
}
