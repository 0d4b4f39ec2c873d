#include "extension/provider/upload_leftovers.h"

#include "extension/provider/shell_commands.h"

namespace {

bool removedOnPhone(const PhoneAccess &phone, const QString &path) {
    try {
        phone.shell(removeFileCommand(path));
        return !phone.stat(path).has_value();
    } catch (...) {
        return false;
    }
}

} // namespace

void UploadLeftovers::remove(const PhoneAccess &phone, const QString &path) {
    if (removedOnPhone(phone, path)) return;
    std::lock_guard lock(mutex_);
    if (!remembered_.contains(path)) remembered_.append(path);
}

void UploadLeftovers::removeRemembered(const PhoneAccess &phone) {
    QStringList paths;
    {
        std::lock_guard lock(mutex_);
        paths.swap(remembered_);
    }
    for (const QString &path : paths) remove(phone, path);
}
