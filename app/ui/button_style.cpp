#include "app/ui/button_style.h"

#include "app/ui/dm_sans.h"
#include "app/ui/palette.h"

#include <algorithm>

QColor mixColors(const QColor &from, const QColor &to, qreal t) {
    t = std::clamp(t, 0.0, 1.0);
    const auto mix = [t](float a, float b) { return a + (b - a) * static_cast<float>(t); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
                            mix(from.blueF(), to.blueF()), mix(from.alphaF(), to.alphaF()));
}

ButtonLook PrimaryButtonStyle::look(const ButtonState &state) const {
    ButtonLook look;
    look.font = dmSansFont(14, QFont::DemiBold);
    look.content = Palette::onAccent;
    look.fill = state.pressed ? Palette::accentPressed : mixColors(Palette::accent, Palette::accentHover, state.hover);
    look.shadowColor = Palette::withOpacity(Palette::accent, 0.18 + (0.28 - 0.18) * std::clamp(state.hover, 0.0, 1.0));
    look.shadowRadius = 6;
    look.shadowOffset = {0, 2};
    look.opacity = state.enabled ? 1.0 : disabledButtonOpacity;
    return look;
}

ButtonLook SecondaryButtonStyle::look(const ButtonState &state) const {
    ButtonLook look;
    look.font = dmSansFont(14, QFont::Medium);
    look.content = Palette::textPrimary;
    look.fill = state.pressed ? Palette::surfaceRaised : mixColors(Palette::background, Palette::surface, state.hover);
    look.stroke = mixColors(Palette::border, Palette::borderHover, state.hover);
    look.shadowColor = Qt::transparent;
    look.opacity = state.enabled ? 1.0 : disabledButtonOpacity;
    return look;
}
