#include "app/state/font_registration.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

namespace {

const char *const faceNames[] = {"DMSans-Regular", "DMSans-Medium", "DMSans-SemiBold", "DMSans-Bold"};

} // namespace

std::optional<QString> fontFileFor(const QString &resourceDir, const QString &faceName) {
    const QDir resources(resourceDir);
    const QString fileName = faceName + QStringLiteral(".ttf");
    for (const QString &candidate : {resources.filePath(fileName), resources.filePath(QStringLiteral("Fonts/") + fileName)}) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return std::nullopt;
}

QStringList registerFonts(const QString &resourceDir) {
    QStringList handedOver;
    for (const char *face : faceNames) {
        const std::optional<QString> file = fontFileFor(resourceDir, QString::fromLatin1(face));
        if (!file)
            continue;
        // A file that is no font, or a face already there, changes nothing.
        QFontDatabase::addApplicationFont(*file);
        handedOver << *file;
    }
    return handedOver;
}
