#pragma once

#include <QColor>

// The one dark palette every page draws with. Opaque sRGB unless noted.
namespace Palette {

inline const QColor background{0x1C, 0x1C, 0x1C};
inline const QColor surface{0x23, 0x23, 0x23};
inline const QColor surfaceRaised{0x2A, 0x2A, 0x2A};
inline const QColor border{0x2E, 0x2E, 0x2E};
inline const QColor borderStrong{0x32, 0x32, 0x32};
inline const QColor borderHover{0x3D, 0x3D, 0x3D};
inline const QColor hairline = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.06f);
inline const QColor textPrimary{0xED, 0xED, 0xED};
inline const QColor textSoft{0xC4, 0xC4, 0xC4};
inline const QColor textSecondary{0x8F, 0x8F, 0x8F};
inline const QColor textMuted{0x6F, 0x6F, 0x6F};
inline const QColor accent{0x3E, 0xCF, 0x8E};
inline const QColor accentHover{0x4A, 0xDE, 0x80};
inline const QColor accentPressed{0x24, 0xB4, 0x7E};
inline const QColor onAccent{0x17, 0x17, 0x17};
inline const QColor warning{0xE0, 0xA0, 0x30};
inline const QColor danger{0xE5, 0x48, 0x4D};

// The same colour at a fraction of its opacity (for example `accent` at 14 %).
inline QColor withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

} // namespace Palette
