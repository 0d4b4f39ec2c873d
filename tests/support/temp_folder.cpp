#include "tests/support/temp_folder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <stdexcept>

namespace testsupport {

TempFolder::TempFolder() {
    QTemporaryDir dir(QDir::tempPath() + "/dorvane-test-XXXXXX");
    if (!dir.isValid()) throw std::runtime_error("cannot make a temporary folder");
    dir.setAutoRemove(false);
    path_ = dir.path();
}

TempFolder::~TempFolder() { QDir(path_).removeRecursively(); }

QString writePatternFile(const QString &path, qint64 size, quint32 seed) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write " + path.toStdString());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qint64 done = 0; done < size;) {
        const qint64 n = std::min<qint64>(block.size(), size - done);
        for (qint64 i = 0; i < n; ++i) {
            state = state * 1664525u + 1013904223u;
            block[i] = char(state >> 24);
        }
        if (file.write(block.constData(), n) != n) throw std::runtime_error("short write to " + path.toStdString());
        hash.addData(QByteArrayView(block.constData(), n));
        done += n;
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString sha256OfFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return {};
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace testsupport
