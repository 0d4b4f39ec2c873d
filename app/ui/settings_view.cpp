#include "app/ui/settings_view.h"

#include "app/ui/back_button.h"
#include "app/ui/dm_sans.h"
#include "app/ui/page_background.h"
#include "app/ui/palette.h"
#include "app/ui/scroll_column.h"
#include "app/ui/svg_artwork.h"
#include "app/ui/text_label.h"

#include "resources/resource_paths.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

SettingsView::SettingsView(std::function<void()> onBack, const QString &version, QWidget *parent)
    : QWidget(parent), back_(new BackButton(22)) {
    fillWithPageBackground(this);
    if (onBack)
        connect(back_, &QAbstractButton::clicked, this, [onBack = std::move(onBack)] { onBack(); });

    auto *header = new QWidget;
    auto *column = new QVBoxLayout(header);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(new SvgArtwork(resources::appIconPath(), 80), 0, Qt::AlignHCenter);
    column->addSpacing(14);
    QLabel *name = makeLabel(QStringLiteral("Dorvane"), dmSansFont(20, QFont::Bold), Palette::textPrimary);
    name->setAlignment(Qt::AlignHCenter);
    column->addWidget(name);
    column->addSpacing(4);
    QLabel *versionLabel = makeLabel(version, dmSansFont(12.5, QFont::Normal), Palette::textSecondary);
    versionLabel->setAlignment(Qt::AlignHCenter);
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(versionLabel);

    auto *scrolled = new QWidget;
    auto *scrolledLayout = new QVBoxLayout(scrolled);
    scrolledLayout->setContentsMargins(24, 24, 24, 24);
    scrolledLayout->addLayout(centeredColumn(header, 420));
    scrolledLayout->addStretch(1);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(back_, 0, Qt::AlignLeft | Qt::AlignTop);
    page->addWidget(makeScrollArea(scrolled), 1);
}
