#pragma once

#include <QString>

// Where the compiled-in icons and artwork live, and where the font files sit
// beside the program.
namespace resources {

// ":/phosphor/<name>.svg" for a Phosphor icon of the regular weight.
QString phosphorIconPath(const QString &iconName);

QString appIconPath();

// The tray icon drawn for a dark panel (a light glyph) or a light panel.
enum class PanelShade { dark, light };
QString menuBarIconPath(PanelShade panel);

// "<resourceDir>/Fonts/DMSans-Regular.ttf" and its three siblings, regular
// first, then medium, semibold and bold.
QStringList dmSansFontFiles(const QString &resourceDir);

} // namespace resources
