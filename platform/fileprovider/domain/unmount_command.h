#pragma once

#include <QString>
#include <QCoro/QCoroTask>

// Unmounts the file system at `directory`: a plain unmount first, a lazy one
// when that fails (a file on it is still open), so the directory is free
// afterwards. Uses fusermount3, or umount where that is missing and we are
// root. Returns the tools' output when the directory is still mounted after
// both tries, empty otherwise.
QCoro::Task<QString> unmountDirectory(QString directory);
