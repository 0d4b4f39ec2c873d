#pragma once

#include <QString>
#include <QtGlobal>

// A byte count as file managers show file sizes: decimal units (1 KB is
// 1000 bytes), one decimal at most, a trailing ".0" dropped: "999 bytes",
// "1 KB", "12.3 GB", "64 GB".
QString formatFileSize(qint64 bytes);
