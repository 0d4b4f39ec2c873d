#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace posix {

// File and folder names are bytes, nearly always UTF-8. A byte that is not
// part of valid UTF-8 is held in a QString as the lone surrogate U+DC80 to
// U+DCFF (as Python's "surrogateescape" does), so that any name comes back
// to the very bytes it came from: a name the phone made in Latin-1 can be
// listed, opened, renamed and deleted like any other. Valid UTF-8 never
// decodes to a lone surrogate, so nothing else changes.
QString fileNameFromBytes(QByteArrayView bytes);
QByteArray fileNameBytes(QStringView name);

} // namespace posix
