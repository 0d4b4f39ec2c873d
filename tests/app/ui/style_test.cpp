// The shared look: DM Sans faces by weight, the two button styles as drawn,
// the round icon button, and Phosphor icons tinted and sharp at any ratio.
#include "tests/app/ui/ui_test_support.h"

#include "app/ui/button_style.h"
#include "app/ui/circle_icon_button.h"
#include "app/ui/dm_sans.h"
#include "app/ui/ph_icon.h"
#include "app/ui/phosphor_icon.h"
#include "app/ui/soft_shadow_effect.h"
#include "app/ui/styled_button.h"

#include <QEnterEvent>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QRawFont>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QColor windowBackground(0x1C, 0x1C, 0x1C);

class StyleTest : public ::testing::Test {
protected:
    void SetUp() override { registerBuildTreeFonts(); }
};

// ---- fonts ----

TEST_F(StyleTest, EachWeightGetsItsOwnDmSansFaceAndOthersFallBackToRegular) {
    struct Case {
        QFont::Weight requested;
        const char *faceName;
        const char *styleName;
    };
    const Case cases[] = {
        {QFont::Thin, "DMSans-Regular", "Regular"},     {QFont::Light, "DMSans-Regular", "Regular"},
        {QFont::Normal, "DMSans-Regular", "Regular"},   {QFont::Medium, "DMSans-Medium", "Medium"},
        {QFont::DemiBold, "DMSans-SemiBold", "SemiBold"}, {QFont::Bold, "DMSans-Bold", "Bold"},
        {QFont::ExtraBold, "DMSans-Bold", "Bold"},      {QFont::Black, "DMSans-Bold", "Bold"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faceName);
        EXPECT_EQ(dmSansFaceName(dmSansFaceFor(c.requested)).toStdString(), c.faceName);
        // What the font database really hands out: the registered file of that
        // face, not a fallback family and not a synthesised weight.
        const QFont font = dmSansFont(13, c.requested);
        const QFontInfo info(font);
        EXPECT_EQ(info.family().toStdString(), "DM Sans");
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid());
        EXPECT_EQ(raw.familyName().toStdString(), "DM Sans");
        EXPECT_EQ(raw.styleName().toStdString(), c.styleName);
    }
}

TEST_F(StyleTest, FontSizesAreDesignPointsThatIsDeviceIndependentPixels) {
    // 13 design points are 13 px whatever Qt's point is; Qt resolves sizes to
    // whole pixels, so 13.5 may land on either neighbour but never further.
    EXPECT_DOUBLE_EQ(QRawFont::fromFont(dmSansFont(13, QFont::Normal)).pixelSize(), 13.0);
    EXPECT_DOUBLE_EQ(QRawFont::fromFont(dmSansFont(23, QFont::Bold)).pixelSize(), 23.0);
    EXPECT_NEAR(QRawFont::fromFont(dmSansFont(13.5, QFont::Normal)).pixelSize(), 13.5, 0.5);
    const QFont tracked = dmSansFont(18, QFont::Bold, -0.2);
    EXPECT_EQ(tracked.letterSpacingType(), QFont::AbsoluteSpacing);
    EXPECT_NEAR(tracked.letterSpacing(), -0.2, 1.0 / 64);
}

TEST_F(StyleTest, MissingFontFilesAreReportedOneByOne) {
    const QStringList failed = registerDmSansFonts(QStringLiteral("/nonexistent/dorvane"));
    ASSERT_EQ(failed.size(), 4);
    EXPECT_TRUE(failed[0].endsWith(QStringLiteral("/Fonts/DMSans-Regular.ttf")));
    EXPECT_TRUE(failed[3].endsWith(QStringLiteral("/Fonts/DMSans-Bold.ttf")));
}

// ---- buttons ----

// A shown button in a frame, so enter, press and hover reach it as they would
// under a pointer.
struct ShownButton {
    explicit ShownButton(StyledButton *made) : button(made) {
        auto *layout = new QHBoxLayout(&frame);
        layout->setContentsMargins(10, 10, 10, 10);
        layout->addWidget(button);
        frame.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&frame));
    }

    void hover() {
        QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)));
        QCoreApplication::sendEvent(button, &enter);
        QTest::qWait(StyledButton::hoverAnimationMs + 80);
    }

    void leave() {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(button, &leave);
        QTest::qWait(StyledButton::hoverAnimationMs + 80);
    }

    // The fill as it shows in the window (shadow and opacity included), away
    // from the label and the rounded corners.
    QColor fillPixel(qreal ratio = 1.0) {
        const QImage image = renderWidget(frame, ratio, windowBackground);
        const QPoint inside = button->pos() + QPoint(5, button->height() / 2);
        return image.pixelColor(std::lround(inside.x() * ratio), std::lround(inside.y() * ratio));
    }

    // The middle of the top edge, where the border runs.
    QColor borderPixel() {
        const QImage image = renderWidget(frame, 1.0, Qt::red);
        return image.pixelColor(button->pos() + QPoint(button->width() / 2, 0));
    }

    QWidget frame;
    StyledButton *button;
};

TEST_F(StyleTest, PrimaryButtonFillFollowsHoverAndPressWithPressWinning) {
    ShownButton shown(makePrimaryButton(QStringLiteral("Get Started")));
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x3E, 0xCF, 0x8E))) << describe(shown.fillPixel()).toStdString();

    shown.hover();
    EXPECT_DOUBLE_EQ(shown.button->buttonState().hover, 1.0);
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x4A, 0xDE, 0x80))) << describe(shown.fillPixel()).toStdString();

    // Held down while the pointer is over it: the pressed fill, not the hover one.
    QTest::mousePress(shown.button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(shown.button->buttonState().pressed);
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x24, 0xB4, 0x7E))) << describe(shown.fillPixel()).toStdString();
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(2.0), QColor(0x24, 0xB4, 0x7E)));
    QSignalSpy clicked(shown.button, &QAbstractButton::clicked);
    QTest::mouseRelease(shown.button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x4A, 0xDE, 0x80)));

    shown.leave();
    EXPECT_DOUBLE_EQ(shown.button->buttonState().hover, 0.0);
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x3E, 0xCF, 0x8E)));
}

TEST_F(StyleTest, PrimaryLabelAndShadowFollowTheDesign) {
    const PrimaryButtonStyle style;
    const ButtonLook resting = style.look({});
    EXPECT_EQ(resting.content, QColor(0x17, 0x17, 0x17));
    EXPECT_EQ(QRawFont::fromFont(resting.font).styleName().toStdString(), "SemiBold");
    EXPECT_EQ(resting.padding, QMarginsF(16, 8, 16, 8));
    EXPECT_DOUBLE_EQ(resting.cornerRadius, 6);
    EXPECT_EQ(resting.shadowOffset, QPointF(0, 2));
    EXPECT_NEAR(resting.shadowColor.alphaF(), 0.18, 0.01);
    EXPECT_EQ(resting.shadowColor.rgb(), QColor(0x3E, 0xCF, 0x8E).rgb());
    EXPECT_NEAR(style.look({true, false, 1.0}).shadowColor.alphaF(), 0.28, 0.01);
    // Halfway through the hover animation the fill is between the two.
    const QColor halfway = style.look({true, false, 0.5}).fill;
    EXPECT_GT(halfway.green(), 0xCF);
    EXPECT_LT(halfway.green(), 0xDE);
}

TEST_F(StyleTest, DisabledPrimaryButtonKeepsItsColoursAtFortyFivePercent) {
    ShownButton shown(makePrimaryButton(QStringLiteral("Mount")));
    shown.button->setEnabled(false);
    shown.hover();

    const ButtonLook look = shown.button->currentLook();
    EXPECT_DOUBLE_EQ(look.opacity, 0.45);
    EXPECT_EQ(look.content, QColor(0x17, 0x17, 0x17));

    const QColor expected = blend(QColor(0x4A, 0xDE, 0x80), windowBackground, 0.45);
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), expected))
        << describe(shown.fillPixel()).toStdString() << " expected " << describe(expected).toStdString();

    QSignalSpy clicked(shown.button, &QAbstractButton::clicked);
    QTest::mouseClick(shown.button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 0);

    shown.button->setEnabled(true);
    EXPECT_DOUBLE_EQ(shown.button->currentLook().opacity, 1.0);
}

TEST_F(StyleTest, PointingHandOnlyWhileTheButtonCanBePressed) {
    ShownButton shown(makeSecondaryButton(QStringLiteral("Show in Files")));
    EXPECT_EQ(shown.button->cursor().shape(), Qt::PointingHandCursor);
    shown.button->setEnabled(false);
    EXPECT_EQ(shown.button->cursor().shape(), Qt::ArrowCursor);
    shown.button->setEnabled(true);
    EXPECT_EQ(shown.button->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(StyleTest, SecondaryButtonFillAndBorderPerState) {
    ShownButton shown(makeSecondaryButton(QStringLiteral("Show in Files")));
    // The resting fill is the window colour itself; the border sits on the edge.
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x1C, 0x1C, 0x1C)));
    EXPECT_TRUE(nearlyEqual(shown.borderPixel(), QColor(0x2E, 0x2E, 0x2E))) << describe(shown.borderPixel()).toStdString();

    shown.hover();
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x23, 0x23, 0x23))) << describe(shown.fillPixel()).toStdString();
    EXPECT_TRUE(nearlyEqual(shown.borderPixel(), QColor(0x3D, 0x3D, 0x3D)));

    QTest::mousePress(shown.button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(nearlyEqual(shown.fillPixel(), QColor(0x2A, 0x2A, 0x2A)));
    QTest::mouseRelease(shown.button, Qt::LeftButton, {}, QPoint(5, 5));

    const SecondaryButtonStyle style;
    EXPECT_EQ(style.look({}).content, QColor(0xED, 0xED, 0xED));
    EXPECT_EQ(QRawFont::fromFont(style.look({}).font).styleName().toStdString(), "Medium");
    EXPECT_DOUBLE_EQ(style.look({false, false, 0}).opacity, 0.45);
    EXPECT_EQ(style.look({}).shadowColor.alpha(), 0);
}

TEST_F(StyleTest, ButtonSizeFitsItsLabelIconAndPadding) {
    StyledButton *plain = makePrimaryButton(QStringLiteral("Mount"));
    StyledButton *withIcon = makePrimaryButton(QStringLiteral("Mount"));
    withIcon->setLeadingIcon(QStringLiteral("hard-drives"), 14);
    const QFontMetricsF metrics(dmSansFont(14, QFont::DemiBold));
    EXPECT_NEAR(plain->sizeHint().width(), metrics.horizontalAdvance(QStringLiteral("Mount")) + 32, 1.0);
    EXPECT_NEAR(withIcon->sizeHint().width() - plain->sizeHint().width(), 14 + 6, 1.0);
    EXPECT_GE(plain->sizeHint().height(), std::ceil(metrics.height()) + 16 - 1);
    delete plain;
    delete withIcon;
}

// ---- shadow ----

TEST_F(StyleTest, ShadowBlurSpreadsWithoutLosingOrShiftingCoverage) {
    QImage square(20, 20, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter(&square).fillRect(QRect(5, 5, 10, 10), Qt::black);

    int reach = 0;
    const QImage shadow = blurredShadow(square, 3.0, QColor(0, 0, 0, 255), &reach);
    EXPECT_GE(reach, 6);  // more than two sigmas
    ASSERT_EQ(shadow.size(), QSize(20 + 2 * reach, 20 + 2 * reach));

    double total = 0;
    double weightedX = 0;
    double weightedY = 0;
    for (int y = 0; y < shadow.height(); ++y) {
        for (int x = 0; x < shadow.width(); ++x) {
            const int alpha = qAlpha(shadow.pixel(x, y));
            total += alpha;
            weightedX += alpha * x;
            weightedY += alpha * y;
        }
    }
    // The padding holds the whole spread: as much shadow as there was shape,
    // centred where the shape was, and soft (no pixel keeps full coverage).
    EXPECT_NEAR(total / 255.0, 100.0, 2.0);
    EXPECT_NEAR(weightedX / total, reach + 9.5, 0.05);
    EXPECT_NEAR(weightedY / total, reach + 9.5, 0.05);
    EXPECT_LT(qAlpha(shadow.pixel(reach + 10, reach + 10)), 255);
    EXPECT_GT(qAlpha(shadow.pixel(reach + 2, reach + 10)), 0);  // spread past the edge
    EXPECT_EQ(qAlpha(shadow.pixel(0, 0)), 0);

    // The colour's alpha scales the coverage.
    const QImage faint = blurredShadow(square, 3.0, QColor(0, 0, 0, 64), &reach);
    EXPECT_NEAR(qAlpha(faint.pixel(reach + 10, reach + 10)), qAlpha(shadow.pixel(reach + 10, reach + 10)) / 4.0, 2);
}

// ---- round icon button ----

TEST_F(StyleTest, CircleIconButtonShowsItsHelpAndCallsItsAction) {
    int calls = 0;
    CircleIconButton button(QStringLiteral("gear-six"), QStringLiteral("Settings"), [&calls] { ++calls; });
    button.show();
    EXPECT_EQ(button.toolTip(), QStringLiteral("Settings"));
    EXPECT_EQ(button.size(), QSize(34, 34));  // 16-point icon, 9 points round it
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(calls, 1);

    // A hairline disc: white at 6 % over the background, and the icon in the
    // secondary text colour at its centre.
    const QImage image = renderWidget(button, 2.0, windowBackground);
    EXPECT_TRUE(nearlyEqual(image.pixelColor(14, image.height() / 2), blend(Qt::white, windowBackground, 0.06)))
        << describe(image.pixelColor(14, image.height() / 2)).toStdString();
    bool iconColourFound = false;
    for (int x = 0; x < image.width() && !iconColourFound; ++x)
        iconColourFound = nearlyEqual(image.pixelColor(x, image.height() / 2), QColor(0x8F, 0x8F, 0x8F), 6);
    EXPECT_TRUE(iconColourFound);
}

// ---- icons ----

TEST_F(StyleTest, EveryIconTheInterfaceNamesIsCompiledIn) {
    for (const char *name : {"caret-left", "caret-right", "device-mobile-camera", "eject", "gear-six", "hard-drives",
                             "plugs-connected", "plus", "trash", "usb", "wifi-high"})
        EXPECT_TRUE(phosphorIconExists(QString::fromLatin1(name))) << name;
    EXPECT_FALSE(phosphorIconExists(QStringLiteral("no-such-icon")));
    EXPECT_TRUE(phosphorPixmap(QStringLiteral("no-such-icon"), 16, Qt::white, 1).isNull());
}

TEST_F(StyleTest, IconIsTintedInItsColourOnly) {
    const QColor tint(0xE5, 0x48, 0x4D);
    const QImage image = phosphorPixmap(QStringLiteral("trash"), 24, tint, 2).toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    int covered = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 128)
                continue;
            ++covered;
            ASSERT_TRUE(nearlyEqual(pixel, tint, 4)) << x << "," << y << " " << describe(pixel).toStdString();
        }
    }
    EXPECT_GT(covered, 40);
    // A translucent tint keeps its alpha.
    const QImage faint = phosphorPixmap(QStringLiteral("plus"), 64, QColor(255, 255, 255, 100), 1).toImage();
    int maxAlpha = 0;
    for (int y = 0; y < faint.height(); ++y)
        for (int x = 0; x < faint.width(); ++x)
            maxAlpha = std::max(maxAlpha, faint.pixelColor(x, y).alpha());
    EXPECT_NEAR(maxAlpha, 100, 2);
}

// Sharp at ratio 2 means drawn from the vectors at twice the pixels, not a
// 1x picture blown up: the two differ along every edge.
TEST_F(StyleTest, IconsRenderAtTheDevicePixelRatio) {
    const QPixmap sharp = phosphorPixmap(QStringLiteral("gear-six"), 16, Qt::white, 2);
    EXPECT_EQ(sharp.size(), QSize(32, 32));
    EXPECT_DOUBLE_EQ(sharp.devicePixelRatio(), 2.0);

    PhIcon icon(QStringLiteral("gear-six"), 16, Qt::white);
    EXPECT_EQ(icon.size(), QSize(16, 16));
    const QImage drawn = renderWidget(icon, 2.0, Qt::black).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), QSize(32, 32));
    const QImage blownUp = renderWidget(icon, 1.0, Qt::black)
                               .scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_RGB32);
    const QImage reference = [&] {
        QImage image(32, 32, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        QImage pixels = sharp.toImage();
        pixels.setDevicePixelRatio(1);
        painter.drawImage(0, 0, pixels);
        return image;
    }();
    int sameAsReference = 0;
    int differentFromBlownUp = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (nearlyEqual(drawn.pixelColor(x, y), reference.pixelColor(x, y), 2))
                ++sameAsReference;
            if (!nearlyEqual(drawn.pixelColor(x, y), blownUp.pixelColor(x, y), 24))
                ++differentFromBlownUp;
        }
    }
    EXPECT_EQ(sameAsReference, 32 * 32);
    EXPECT_GT(differentFromBlownUp, 20);

    // Icons for buttons and menus honour the ratio too.
    const QIcon menuIcon = phosphorIcon(QStringLiteral("eject"), Qt::white);
    EXPECT_EQ(menuIcon.pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
}

} // namespace
