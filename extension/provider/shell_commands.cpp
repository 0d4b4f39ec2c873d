#include "extension/provider/shell_commands.h"

QString quoteForShell(const QString &path) {
    QString quoted = path;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString makeFolderCommand(const QString &path) { return QStringLiteral("mkdir -p ") + quoteForShell(path); }

QString touchFileCommand(const QString &path) { return QStringLiteral("touch ") + quoteForShell(path); }

QString moveCommand(const QString &from, const QString &to) {
    return QStringLiteral("mv ") + quoteForShell(from) + u' ' + quoteForShell(to);
}

QString deleteCommand(const QString &path) { return QStringLiteral("rm -rf ") + quoteForShell(path); }

QString removeFileCommand(const QString &path) { return QStringLiteral("rm -f ") + quoteForShell(path); }

QString setModifiedCommand(const QString &path, qint64 secondsSinceEpoch) {
    return QStringLiteral("touch -m -d @%1 ").arg(secondsSinceEpoch) + quoteForShell(path);
}
