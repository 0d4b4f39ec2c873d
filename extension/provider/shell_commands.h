#pragma once

#include <QString>

// The phone's shell sees every path as one single-quoted word: each "'"
// becomes '\'' and the whole is wrapped in quotes. Nothing else needs
// escaping inside single quotes, not even blanks, newlines or a leading dash.
QString quoteForShell(const QString &path);

QString makeFolderCommand(const QString &path);
QString touchFileCommand(const QString &path);
QString moveCommand(const QString &from, const QString &to);
QString deleteCommand(const QString &path);
QString removeFileCommand(const QString &path);
QString setModifiedCommand(const QString &path, qint64 secondsSinceEpoch);
