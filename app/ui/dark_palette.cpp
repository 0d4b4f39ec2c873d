#include "app/ui/dark_palette.h"

#include "app/ui/palette.h"

QPalette darkPalette() {
    QPalette colors;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colors.setColor(group, QPalette::Window, Palette::background);
        colors.setColor(group, QPalette::WindowText, Palette::textPrimary);
        colors.setColor(group, QPalette::Base, Palette::surface);
        colors.setColor(group, QPalette::AlternateBase, Palette::surfaceRaised);
        colors.setColor(group, QPalette::Text, Palette::textPrimary);
        colors.setColor(group, QPalette::PlaceholderText, Palette::textMuted);
        colors.setColor(group, QPalette::Button, Palette::surface);
        colors.setColor(group, QPalette::ButtonText, Palette::textPrimary);
        colors.setColor(group, QPalette::BrightText, Palette::textPrimary);
        colors.setColor(group, QPalette::Highlight, Palette::withOpacity(Palette::accent, 0.35));
        colors.setColor(group, QPalette::HighlightedText, Palette::textPrimary);
        colors.setColor(group, QPalette::ToolTipBase, Palette::surfaceRaised);
        colors.setColor(group, QPalette::ToolTipText, Palette::textPrimary);
        colors.setColor(group, QPalette::Link, Palette::accent);
        colors.setColor(group, QPalette::Light, Palette::borderHover);
        colors.setColor(group, QPalette::Midlight, Palette::borderStrong);
        colors.setColor(group, QPalette::Mid, Palette::border);
        colors.setColor(group, QPalette::Dark, Palette::background);
        colors.setColor(group, QPalette::Shadow, Qt::black);
    }
    colors.setColor(QPalette::Disabled, QPalette::WindowText, Palette::textMuted);
    colors.setColor(QPalette::Disabled, QPalette::Text, Palette::textMuted);
    colors.setColor(QPalette::Disabled, QPalette::ButtonText, Palette::textMuted);
    return colors;
}
