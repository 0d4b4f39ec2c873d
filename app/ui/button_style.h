#pragma once

#include <QColor>
#include <QFont>
#include <QMarginsF>
#include <QPointF>

#include <optional>

// What a styled button is doing at this moment. `hover` runs from 0 (pointer
// away) to 1 (pointer over it) and is animated in between.
struct ButtonState {
    bool enabled = true;
    bool pressed = false;
    qreal hover = 0.0;
};

// Everything needed to draw a button in one state.
struct ButtonLook {
    QColor fill;
    std::optional<QColor> stroke;  // one-point line inside the edge
    QColor content;                // label text and icon
    QFont font;
    QColor shadowColor;            // transparent when the style casts none
    qreal shadowRadius = 0.0;
    QPointF shadowOffset;
    qreal opacity = 1.0;
    qreal cornerRadius = 6.0;
    QMarginsF padding{16, 8, 16, 8};
};

// A style is stateless: it maps a state to a look. The button widget keeps
// the state.
class ButtonStyle {
public:
    virtual ~ButtonStyle() = default;
    virtual ButtonLook look(const ButtonState &state) const = 0;
};

// The filled main action of a page, in `accent`.
class PrimaryButtonStyle final : public ButtonStyle {
public:
    ButtonLook look(const ButtonState &state) const override;
};

// The outlined, quieter action.
class SecondaryButtonStyle final : public ButtonStyle {
public:
    ButtonLook look(const ButtonState &state) const override;
};

// Opacity of any disabled button; it keeps its colours.
inline constexpr qreal disabledButtonOpacity = 0.45;

// `from` at t = 0, `to` at t = 1, channel by channel including alpha.
QColor mixColors(const QColor &from, const QColor &to, qreal t);
