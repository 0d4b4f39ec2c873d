#pragma once

#include "app/ui/button_style.h"

#include <QAbstractButton>
#include <QString>

#include <memory>

class SoftShadowEffect;
class QVariantAnimation;

// A push button drawn by a ButtonStyle: it tracks hover (animated) and
// pressed, draws the style's look and shows the pointing hand while enabled.
// An optional Phosphor icon stands before the label, in the label's colour.
class StyledButton : public QAbstractButton {
    Q_OBJECT
public:
    StyledButton(const QString &text, std::shared_ptr<const ButtonStyle> style, QWidget *parent = nullptr);

    // An icon of `size` points before the text, 6 points apart.
    void setLeadingIcon(const QString &iconName, qreal size);

    ButtonState buttonState() const;
    ButtonLook currentLook() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int hoverAnimationMs = 120;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void animateHoverTo(qreal target);
    void applyLook();
    void updateCursor();

    std::shared_ptr<const ButtonStyle> style_;
    QString iconName_;
    qreal iconSize_ = 0;
    bool hovered_ = false;
    qreal hoverProgress_ = 0;
    QVariantAnimation *hoverAnimation_;
    SoftShadowEffect *shadow_;
};

// Convenience makers for the two styles.
StyledButton *makePrimaryButton(const QString &text, QWidget *parent = nullptr);
StyledButton *makeSecondaryButton(const QString &text, QWidget *parent = nullptr);
