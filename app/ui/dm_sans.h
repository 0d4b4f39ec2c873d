#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The four DM Sans faces the interface is set in.
enum class DmSansFace { regular, medium, semiBold, bold };

// Bold and heavier is Bold, semibold is SemiBold, medium is Medium; every
// other weight (regular, light, thin, ...) has no face of its own and is Regular.
DmSansFace dmSansFaceFor(QFont::Weight weight);

// "DMSans-Regular", "DMSans-Medium", "DMSans-SemiBold" or "DMSans-Bold".
QString dmSansFaceName(DmSansFace face);

// The weight at which each face is registered.
QFont::Weight dmSansFaceWeight(DmSansFace face);

// The family the font files register under.
QString dmSansFamily();

// DM Sans in the face for `weight` at `size` design points. A design point is
// one device-independent pixel, as the layouts are measured; Qt's point is
// 1/72 inch, so the size is converted with the screen's logical DPI.
QFont dmSansFont(qreal size, QFont::Weight weight = QFont::Normal);

// The same with letter spacing (tracking) in design points, negative to tighten.
QFont dmSansFont(qreal size, QFont::Weight weight, qreal letterSpacing);

// Registers the four font files in <resourceDir>/Fonts for this process and
// returns the files that could not be loaded (empty when all four are in).
QStringList registerDmSansFonts(const QString &resourceDir);
