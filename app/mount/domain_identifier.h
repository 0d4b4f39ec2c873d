#pragma once

#include "app/adb/android_device.h"

#include <QString>

#include <optional>

// The domain of a phone is named after its serial: every "." written as
// "-DOT-", then every ":" as "-COLON-". The host program reads it back.
QString domainIdentifierForSerial(const QString &serial);
// The reverse: "-COLON-" to ":", then "-DOT-" to ".". A serial that itself
// held "-DOT-" or "-COLON-" does not come back unchanged.
QString serialForDomainIdentifier(const QString &identifier);

// The name the file manager shows: the given name as it is (even empty),
// else the model with "_" as blanks, else the serial.
QString mountDisplayName(const AndroidDevice &device, const std::optional<QString> &name);
