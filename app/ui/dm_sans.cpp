#include "app/ui/dm_sans.h"

#include "resources/resource_paths.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

DmSansFace dmSansFaceFor(QFont::Weight weight) {
    if (weight >= QFont::Bold)
        return DmSansFace::bold;
    if (weight == QFont::DemiBold)
        return DmSansFace::semiBold;
    if (weight == QFont::Medium)
        return DmSansFace::medium;
    return DmSansFace::regular;
}

QString dmSansFaceName(DmSansFace face) {
    switch (face) {
    case DmSansFace::medium: return QStringLiteral("DMSans-Medium");
    case DmSansFace::semiBold: return QStringLiteral("DMSans-SemiBold");
    case DmSansFace::bold: return QStringLiteral("DMSans-Bold");
    case DmSansFace::regular: break;
    }
    return QStringLiteral("DMSans-Regular");
}

QFont::Weight dmSansFaceWeight(DmSansFace face) {
    switch (face) {
    case DmSansFace::medium: return QFont::Medium;
    case DmSansFace::semiBold: return QFont::DemiBold;
    case DmSansFace::bold: return QFont::Bold;
    case DmSansFace::regular: break;
    }
    return QFont::Normal;
}

QString dmSansFamily() {
    return QStringLiteral("DM Sans");
}

namespace {

qreal logicalDpi() {
    if (const QScreen *screen = QGuiApplication::primaryScreen(); screen && screen->logicalDotsPerInchY() > 0)
        return screen->logicalDotsPerInchY();
    return 96.0;
}

} // namespace

QFont dmSansFont(qreal size, QFont::Weight weight) {
    QFont font(dmSansFamily());
    font.setWeight(dmSansFaceWeight(dmSansFaceFor(weight)));
    font.setStyle(QFont::StyleNormal);
    font.setPointSizeF(size * 72.0 / logicalDpi());
    // Fractional sizes such as 13.5 keep their shapes only without hinting.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

QFont dmSansFont(qreal size, QFont::Weight weight, qreal letterSpacing) {
    QFont font = dmSansFont(size, weight);
    font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

QStringList registerDmSansFonts(const QString &resourceDir) {
    QStringList failed;
    for (const QString &file : resources::dmSansFontFiles(resourceDir)) {
        if (QFontDatabase::addApplicationFont(file) < 0)
            failed << file;
    }
    return failed;
}
