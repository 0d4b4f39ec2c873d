#pragma once

#include "platform/fileprovider/domain/file_provider_domain.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What the layer keeps on disk about one added domain, so that a later run
// of the app can find, unmount and end it.
struct DomainRecord {
    QString identifier;
    QString displayName;
    QString mountPoint;     // absolute, canonical
    qint64 pid = 0;         // 0 until the host has been started
    quint64 processStart = 0; // the host's start time in clock ticks since boot; tells a reused pid apart

    FileProviderDomain domain() const { return {identifier, displayName}; }

    friend bool operator==(const DomainRecord &, const DomainRecord &) = default;
};

QByteArray serializeDomainRecord(const DomainRecord &record);
// Absent for anything that is not a complete record (wrong types, missing
// fields, a relative mount point, an empty identifier).
std::optional<DomainRecord> parseDomainRecord(const QByteArray &bytes);

// The file name of an identifier's record: every byte outside [A-Za-z0-9_-]
// percent-encoded, so any identifier gives one plain file name and two
// identifiers never share one.
QString recordFileName(const QString &identifier);
