#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The file of one DM Sans face ("DMSans-Medium", ...) among the app's
// resources: "<resourceDir>/<face>.ttf" if it exists, else
// "<resourceDir>/Fonts/<face>.ttf" if that exists, else none.
std::optional<QString> fontFileFor(const QString &resourceDir, const QString &faceName);

// Makes the four DM Sans faces, regular first, available to this process.
// A face without a file is skipped and a file that does not load is
// ignored; the text then falls back to another font. Returns the files it
// handed to the font database, in order.
QStringList registerFonts(const QString &resourceDir);
