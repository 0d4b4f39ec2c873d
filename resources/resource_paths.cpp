#include "resources/resource_paths.h"

#include <QDir>
#include <QStringList>

namespace resources {

QString phosphorIconPath(const QString &iconName) {
    return QStringLiteral(":/phosphor/%1.svg").arg(iconName);
}

QString appIconPath() {
    return QStringLiteral(":/dorvane/AppIcon.svg");
}

QString menuBarIconPath(PanelShade panel) {
    return panel == PanelShade::dark ? QStringLiteral(":/dorvane/MenuBarIcon-dark.svg")
                                     : QStringLiteral(":/dorvane/MenuBarIcon-light.svg");
}

QStringList dmSansFontFiles(const QString &resourceDir) {
    const QDir fonts(QDir(resourceDir).filePath(QStringLiteral("Fonts")));
    QStringList files;
    for (const char *face : {"DMSans-Regular.ttf", "DMSans-Medium.ttf", "DMSans-SemiBold.ttf", "DMSans-Bold.ttf"})
        files << fonts.filePath(QString::fromLatin1(face));
    return files;
}

} // namespace resources
