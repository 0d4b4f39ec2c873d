#include "platform/fileprovider/domain/domain_record.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <limits>

namespace {

const QString identifierKey = QStringLiteral("identifier");
const QString displayNameKey = QStringLiteral("displayName");
const QString mountPointKey = QStringLiteral("mountPoint");
const QString pidKey = QStringLiteral("pid");
const QString processStartKey = QStringLiteral("processStart");

// JSON numbers are doubles; these stay exact below 2^53.
constexpr double largestExactInteger = 9007199254740992.0;

std::optional<quint64> wholeNumber(const QJsonValue &value) {
    if (!value.isDouble()) return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > largestExactInteger || number != double(quint64(number))) return std::nullopt;
    return quint64(number);
}

} // namespace

QByteArray serializeDomainRecord(const DomainRecord &record) {
    QJsonObject object;
    object[identifierKey] = record.identifier;
    object[displayNameKey] = record.displayName;
    object[mountPointKey] = record.mountPoint;
    object[pidKey] = double(record.pid);
    object[processStartKey] = double(record.processStart);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

std::optional<DomainRecord> parseDomainRecord(const QByteArray &bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    const QJsonValue identifier = object.value(identifierKey);
    const QJsonValue displayName = object.value(displayNameKey);
    const QJsonValue mountPoint = object.value(mountPointKey);
    if (!identifier.isString() || !displayName.isString() || !mountPoint.isString()) return std::nullopt;
    const std::optional<quint64> pid = wholeNumber(object.value(pidKey));
    const std::optional<quint64> processStart = wholeNumber(object.value(processStartKey));
    if (!pid || !processStart || *pid > quint64(std::numeric_limits<int>::max())) return std::nullopt;

    DomainRecord record;
    record.identifier = identifier.toString();
    record.displayName = displayName.toString();
    record.mountPoint = mountPoint.toString();
    record.pid = qint64(*pid);
    record.processStart = *processStart;
    if (record.identifier.isEmpty() || !record.mountPoint.startsWith(QLatin1Char('/'))) return std::nullopt;
    return record;
}

QString recordFileName(const QString &identifier) {
    QString name;
    for (const char byte : identifier.toUtf8()) {
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                           byte == '-' || byte == '_';
        if (plain) {
            name.append(QLatin1Char(byte));
        } else {
            name.append(QStringLiteral("%%1").arg(uint(uchar(byte)), 2, 16, QLatin1Char('0')).toUpper());
        }
    }
    return name + QStringLiteral(".json");
}
