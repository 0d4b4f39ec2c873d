// The screenshot renderer run as a program: every page and control comes out
// as a PNG at both pixel ratios, at the size asked for, on the dark palette.
#include "tests/support/temp_folder.h"

#include <QDir>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct Rendered {
    int exitCode = -1;
    QString output;
};

Rendered runRenderer(const QStringList &arguments) {
    QProcess renderer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    renderer.setProcessEnvironment(environment);
    renderer.start(QStringLiteral(DORVANE_SCREENSHOT_TOOL), arguments);
    EXPECT_TRUE(renderer.waitForFinished(120000));
    return {renderer.exitStatus() == QProcess::NormalExit ? renderer.exitCode() : -1,
            QString::fromLocal8Bit(renderer.readAllStandardOutput() + renderer.readAllStandardError())};
}

const QStringList pages{QStringLiteral("onboarding.png"), QStringLiteral("guide-chooser.png"),
                        QStringLiteral("guide-chooser-empty-state.png"), QStringLiteral("guide-usb.png"),
                        QStringLiteral("guide-wifi.png"), QStringLiteral("settings.png")};

TEST(Screenshots, EveryPageAtBothRatiosOnTheDarkBackground) {
    testsupport::TempFolder out;
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        const Rendered run = runRenderer({QStringLiteral("--scale"), QString::number(scale), QStringLiteral("--out"), out.path()});
        ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
        const QDir folder(out.file(QStringLiteral("%1x").arg(scale)));
        for (const QString &page : pages) {
            SCOPED_TRACE(page.toStdString());
            const QImage image(folder.filePath(page));
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.size(), QSize(560 * scale, 660 * scale));
            // The corners are bare window background.
            EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() - 2), QColor(0x1C, 0x1C, 0x1C));
            EXPECT_EQ(image.pixelColor(image.width() - 2, 1), QColor(0x1C, 0x1C, 0x1C));
        }
        for (const char *state : {"normal", "hover", "pressed", "disabled"}) {
            for (const char *style : {"primary", "secondary"}) {
                const QString name = QStringLiteral("button-%1-%2.png").arg(QLatin1String(style), QLatin1String(state));
                EXPECT_FALSE(QImage(folder.filePath(name)).isNull()) << name.toStdString();
            }
        }
    }
    // The same page at ratio 2 holds four times the pixels, drawn afresh:
    // sharper, not the 1x picture blown up.
    const QImage low(out.file(QStringLiteral("1x/guide-usb.png")));
    const QImage high(out.file(QStringLiteral("2x/guide-usb.png")));
    const QImage blownUp = low.scaled(high.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int differing = 0;
    for (int y = 0; y < high.height(); y += 2)
        for (int x = 0; x < high.width(); x += 2)
            if (std::abs(qGray(high.pixel(x, y)) - qGray(blownUp.pixel(x, y))) > 40)
                ++differing;
    EXPECT_GT(differing, 500);
}

TEST(Screenshots, BadArgumentsAreRefusedWithUsage) {
    const Rendered run = runRenderer({QStringLiteral("--scale"), QStringLiteral("zero")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.output.contains(QStringLiteral("usage:"))) << run.output.toStdString();
}

TEST(Screenshots, MissingFontsFailInsteadOfFallingBack) {
    testsupport::TempFolder out;
    const Rendered run = runRenderer({QStringLiteral("--resources"), out.file(QStringLiteral("nowhere")),
                                      QStringLiteral("--out"), out.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.contains(QStringLiteral("DMSans-Regular.ttf"))) << run.output.toStdString();
    EXPECT_FALSE(QDir(out.file(QStringLiteral("1x"))).exists());
}

} // namespace
