#pragma once

#include <QColor>
#include <QWidget>

#include <optional>

// A rounded rectangle filled with one colour and, if given, outlined with a
// line drawn inside its edge. Holds whatever layout is put on it.
class RoundedPanel : public QWidget {
    Q_OBJECT
public:
    RoundedPanel(QColor fill, std::optional<QColor> stroke, qreal cornerRadius, QWidget *parent = nullptr,
                 qreal strokeWidth = 1.0);

    // A circle (or capsule) instead of the fixed corner radius.
    void setFullyRounded(bool fullyRounded);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor fill_;
    std::optional<QColor> stroke_;
    qreal cornerRadius_;
    qreal strokeWidth_;
    bool fullyRounded_ = false;
};
