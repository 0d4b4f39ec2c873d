#include "app/mount/domain_identifier.h"

QString domainIdentifierForSerial(const QString &serial) {
    QString identifier = serial;
    identifier.replace(QLatin1String("."), QLatin1String("-DOT-"));
    identifier.replace(QLatin1String(":"), QLatin1String("-COLON-"));
    return identifier;
}

QString serialForDomainIdentifier(const QString &identifier) {
    QString serial = identifier;
    serial.replace(QLatin1String("-COLON-"), QLatin1String(":"));
    serial.replace(QLatin1String("-DOT-"), QLatin1String("."));
    return serial;
}

QString mountDisplayName(const AndroidDevice &device, const std::optional<QString> &name) {
    if (name) return *name;
    if (!device.model.isEmpty()) return QString(device.model).replace(QLatin1Char('_'), QLatin1Char(' '));
    return device.serial;
}
