#include "tests/app/ui/ui_test_support.h"

#include "app/ui/dm_sans.h"

#include <QPainter>

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

void registerBuildTreeFonts() {
    static const bool registered = [] {
        const QStringList failed = registerDmSansFonts(QStringLiteral(DORVANE_BUILD_RESOURCE_DIR));
        EXPECT_TRUE(failed.isEmpty()) << failed.join(QStringLiteral(", ")).toStdString();
        return failed.isEmpty();
    }();
    ASSERT_TRUE(registered);
}

QStringList labelTexts(const QWidget &root) {
    QStringList texts;
    for (const QLabel *label : root.findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

QImage renderWidget(QWidget &widget, qreal ratio, QColor underlay) {
    const QSize size = widget.size();
    QImage image(QSize(std::lround(size.width() * ratio), std::lround(size.height() * ratio)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(underlay);
    QPainter painter(&image);
    widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    return image;
}

bool nearlyEqual(QColor actual, QColor expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

QColor blend(QColor over, QColor under, qreal opacity) {
    const auto channel = [opacity](int a, int b) { return static_cast<int>(std::lround(a * opacity + b * (1 - opacity))); };
    return QColor(channel(over.red(), under.red()), channel(over.green(), under.green()),
                  channel(over.blue(), under.blue()));
}

QString describe(QColor color) {
    return color.name(QColor::HexArgb);
}
