#include "extension/adbclient/local_file_error.h"

LocalFileError::LocalFileError(int errorNumber, const QString &path)
    : std::system_error(errorNumber, std::generic_category(), path.toStdString()), path_(path) {}

QString LocalFileError::description() const {
    return path_ + QStringLiteral(": ") + QString::fromStdString(code().message());
}
