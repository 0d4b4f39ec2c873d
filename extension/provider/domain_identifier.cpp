#include "extension/provider/domain_identifier.h"

QString serialForDomainIdentifier(const QString &identifier) {
    QString serial = identifier;
    // Undone in the reverse order of the encoding.
    serial.replace(QLatin1String("-COLON-"), QLatin1String(":"));
    serial.replace(QLatin1String("-DOT-"), QLatin1String("."));
    return serial;
}
