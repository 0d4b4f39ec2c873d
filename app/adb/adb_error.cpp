#include "app/adb/adb_error.h"

#include <utility>

AdbError::AdbError(Kind kind, QString command, QString output)
    : kind_(kind), command_(std::move(command)), output_(std::move(output)) {
    what_ = description().toStdString();
}

AdbError AdbError::binaryNotFound() { return AdbError(Kind::binaryNotFound, {}, {}); }

AdbError AdbError::commandFailed(const QString &command, const QString &output) {
    return AdbError(Kind::commandFailed, command, output);
}

QString AdbError::description() const {
    if (kind_ == Kind::binaryNotFound) {
        return QStringLiteral("Couldn't find the `adb` tool. Install Android Platform Tools "
                              "(e.g. `sudo apt install adb`).");
    }
    return QStringLiteral("adb ") + command_ + QStringLiteral(" failed:\n") + output_;
}

ProcessLaunchError::ProcessLaunchError(QString platformText)
    : text_(std::move(platformText)), what_(text_.toStdString()) {}

QString describeFailure(const std::exception_ptr &failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const AdbError &error) {
        return error.description();
    } catch (const ProcessLaunchError &error) {
        return error.description();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
    }
    return QStringLiteral("Unknown error");
}
