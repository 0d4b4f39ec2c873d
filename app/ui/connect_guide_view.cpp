#include "app/ui/connect_guide_view.h"

#include "app/ui/back_button.h"
#include "app/ui/dm_sans.h"
#include "app/ui/guide_option_card.h"
#include "app/ui/guide_page.h"
#include "app/ui/guide_step_row.h"
#include "app/ui/page_background.h"
#include "app/ui/palette.h"
#include "app/ui/ph_icon.h"
#include "app/ui/scroll_column.h"
#include "app/ui/text_label.h"

#include <QLabel>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

constexpr qreal backPadding = 22;

} // namespace

ConnectGuideView::ConnectGuideView(std::function<void()> onClose, std::function<QWidget *()> makePairingPage,
                                   QWidget *parent)
    : QWidget(parent), onClose_(std::move(onClose)), makePairingPage_(std::move(makePairingPage)),
      back_(new BackButton(backPadding)),
      pages_(new QStackedLayout) {
    fillWithPageBackground(this);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Hidden on a chooser that cannot close, but its room is kept so the
    // header does not jump between chooser and steps.
    QSizePolicy backPolicy = back_->sizePolicy();
    backPolicy.setRetainSizeWhenHidden(true);
    back_->setSizePolicy(backPolicy);
    connect(back_, &QAbstractButton::clicked, this, &ConnectGuideView::goBack);
    column->addWidget(back_, 0, Qt::AlignLeft | Qt::AlignTop);

    chooser_ = makeChooser();
    pages_->addWidget(chooser_);
    column->addLayout(pages_, 1);

    setGuide(std::nullopt);
}

void ConnectGuideView::setGuide(std::optional<Guide> guide) {
    guide_ = guide;
    showsPairing_ = false;
    showDetail(guide_ ? makeSteps(*guide_) : nullptr);
}

void ConnectGuideView::showPairing() {
    if (!makePairingPage_) return;
    guide_.reset();
    showsPairing_ = true;
    showDetail(makePairingPage_());
}

void ConnectGuideView::showDetail(QWidget *page) {
    if (steps_) {
        pages_->removeWidget(steps_);
        steps_->deleteLater();
    }
    steps_ = page;
    if (steps_) {
        pages_->addWidget(steps_);
        pages_->setCurrentWidget(steps_);
    } else {
        pages_->setCurrentWidget(chooser_);
    }
    back_->setVisible(steps_ != nullptr || static_cast<bool>(onClose_));
}

void ConnectGuideView::goBack() {
    // From the steps, Back only returns to the chooser; only the chooser closes.
    if (steps_) {
        setGuide(std::nullopt);
        return;
    }
    if (onClose_)
        onClose_();
}

QWidget *ConnectGuideView::makeChooser() {
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(24, 0, 24, 24 + static_cast<int>(backPadding));
    column->setSpacing(0);
    column->addStretch(1);

    column->addWidget(new PhIcon(QStringLiteral("plugs-connected"), 44, Palette::textMuted), 0, Qt::AlignHCenter);
    column->addSpacing(14);
    QLabel *title = makeLabel(QStringLiteral("Connect your phone"), dmSansFont(18, QFont::Bold, -0.2), Palette::textPrimary);
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    column->addSpacing(4);
    QLabel *subtitle = makeLabel(QStringLiteral("Choose how you'd like to connect."), dmSansFont(13, QFont::Normal),
                                 Palette::textSecondary);
    subtitle->setAlignment(Qt::AlignHCenter);
    column->addWidget(subtitle);
    column->addSpacing(28);

    auto *cards = new QWidget;
    auto *cardColumn = new QVBoxLayout(cards);
    cardColumn->setContentsMargins(0, 0, 0, 0);
    cardColumn->setSpacing(12);
    QList<GuideOption> options = guideOptions();
    if (makePairingPage_) options.append(pairingOption());
    for (const GuideOption &option : options) {
        auto *card = new GuideOptionCard(option);
        connect(card, &QAbstractButton::clicked, this, [this, guide = option.guide] {
            if (guide) setGuide(guide);
            else showPairing();
        });
        cardColumn->addWidget(card);
    }
    column->addLayout(centeredColumn(cards, 420));
    column->addStretch(1);
    return page;
}

QWidget *ConnectGuideView::makeSteps(Guide guide) {
    const GuideContent content = guideContent(guide);

    auto *page = new QWidget;
    QVBoxLayout *column = layOutGuidePage(page, content.title, content.subtitle);
    column->addSpacing(28);
    for (qsizetype index = 0; index < content.steps.size(); ++index) {
        if (index > 0)
            column->addSpacing(24);
        // The number is the step's position, whatever its text says.
        column->addWidget(new GuideStepRow(static_cast<int>(index + 1), content.steps[index]));
    }
    column->addStretch(1);
    return page;
}
