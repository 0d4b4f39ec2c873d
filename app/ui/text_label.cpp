#include "app/ui/text_label.h"

#include <QPalette>

QLabel *makeLabel(const QString &text, const QFont &font, const QColor &color, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
    // Inside a button the inherited role would be ButtonText.
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

QLabel *makeWrappingLabel(const QString &text, const QFont &font, const QColor &color, QWidget *parent) {
    QLabel *label = makeLabel(text, font, color, parent);
    label->setWordWrap(true);
    return label;
}
