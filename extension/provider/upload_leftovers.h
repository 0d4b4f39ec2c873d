#pragma once

#include "extension/provider/phone_access.h"

#include <QString>
#include <QStringList>

#include <mutex>

// Temporary files of uploads that failed while the phone was out of reach,
// so that nobody could remove them then. Every later change tries again
// first, and the user is not left with hidden halves of files.
class UploadLeftovers {
public:
    // Removes `path` on the phone now, or remembers it when that fails.
    // Never throws: it runs while another failure is on its way out.
    void remove(const PhoneAccess &phone, const QString &path);
    // Tries every remembered path again.
    void removeRemembered(const PhoneAccess &phone);

private:
    std::mutex mutex_;
    QStringList remembered_;
};
