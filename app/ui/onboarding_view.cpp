#include "app/ui/onboarding_view.h"

#include "app/ui/dm_sans.h"
#include "app/ui/page_background.h"
#include "app/ui/palette.h"
#include "app/ui/ph_icon.h"
#include "app/ui/rounded_panel.h"
#include "app/ui/scroll_column.h"
#include "app/ui/styled_button.h"
#include "app/ui/svg_artwork.h"
#include "app/ui/text_label.h"

#include "resources/resource_paths.h"

#include "platform/workspace/file_manager_name.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

QList<OnboardingStep> onboardingSteps() {
    return {{QStringLiteral("gear-six"), QStringLiteral("Enable USB debugging"),
             QStringLiteral("On your phone: Settings \u2192 Developer Options \u2192 USB debugging.")},
            {QStringLiteral("usb"), QStringLiteral("Connect via USB"),
             QStringLiteral("Plug your phone into your computer with a USB cable.")},
            {QStringLiteral("hard-drives"), QStringLiteral("Mount in ") + fileManagerName(),
             QStringLiteral("Tap \u201CAllow\u201D on your phone, then press Mount.")}};
}

namespace {

QWidget *makeStepRow(const OnboardingStep &step) {
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto *tile = new RoundedPanel(Palette::surfaceRaised, Palette::border, 10);
    tile->setFixedSize(36, 36);
    auto *tileLayout = new QVBoxLayout(tile);
    tileLayout->setContentsMargins(0, 0, 0, 0);
    tileLayout->addWidget(new PhIcon(step.iconName, 18, Palette::textSoft), 0, Qt::AlignCenter);
    layout->addWidget(tile, 0, Qt::AlignTop);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(makeWrappingLabel(step.title, dmSansFont(13.5, QFont::DemiBold), Palette::textPrimary));
    texts->addWidget(makeWrappingLabel(step.body, dmSansFont(12, QFont::Normal), Palette::textSecondary));
    layout->addLayout(texts, 1);
    return row;
}

} // namespace

OnboardingView::OnboardingView(std::function<void()> onGetStarted, QWidget *parent)
    : QWidget(parent), getStarted_(makePrimaryButton(QStringLiteral("Get Started"))) {
    fillWithPageBackground(this);

    auto *body = new QWidget;
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *icon = new SvgArtwork(resources::appIconPath(), 96);
    auto *iconShadow = new QGraphicsDropShadowEffect(icon);
    iconShadow->setColor(Palette::withOpacity(Qt::black, 0.35));
    iconShadow->setBlurRadius(24);
    iconShadow->setOffset(0, 6);
    icon->setGraphicsEffect(iconShadow);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addSpacing(22);

    QLabel *title = makeLabel(QStringLiteral("Welcome to Dorvane"), dmSansFont(23, QFont::Bold, -0.5), Palette::textPrimary);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    column->addSpacing(5);
    QLabel *subtitle = makeWrappingLabel(QStringLiteral("Access your Android phone right inside ") + fileManagerName() + QLatin1Char('.'),
                                         dmSansFont(13.5, QFont::Normal), Palette::textSecondary);
    subtitle->setAlignment(Qt::AlignHCenter);
    column->addWidget(subtitle);
    column->addSpacing(30);

    const QList<OnboardingStep> steps = onboardingSteps();
    for (qsizetype index = 0; index < steps.size(); ++index) {
        if (index > 0)
            column->addSpacing(16);
        column->addWidget(makeStepRow(steps[index]));
    }
    column->addSpacing(32);

    getStarted_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (onGetStarted)
        connect(getStarted_, &QAbstractButton::clicked, this, [onGetStarted = std::move(onGetStarted)] { onGetStarted(); });
    column->addWidget(getStarted_);

    // Centred on the page; it scrolls when the window is too short for it.
    auto *scrolled = new QWidget;
    auto *scrolledLayout = new QVBoxLayout(scrolled);
    scrolledLayout->setContentsMargins(24, 32, 24, 32);
    scrolledLayout->addStretch(1);
    scrolledLayout->addLayout(centeredColumn(body, 320));
    scrolledLayout->addStretch(1);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(makeScrollArea(scrolled));
}
