#include "app/ui/pairing_view.h"

#include "app/state/pairing_flow.h"
#include "app/ui/dm_sans.h"
#include "app/ui/guide_page.h"
#include "app/ui/guide_step_row.h"
#include "app/ui/palette.h"
#include "app/ui/rounded_panel.h"
#include "app/ui/styled_button.h"
#include "app/ui/text_label.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

const QList<GuideStep> pairingSteps{
    {QStringLiteral("Turn on Wireless debugging"),
     QStringLiteral("On your phone, go to Settings \u2192 Developer options \u2192 Wireless debugging and turn it on.")},
    {QStringLiteral("Show the code"),
     QStringLiteral("Tap \u201CPair device with pairing code\u201D. Below, type the IP address & port and the "
                    "six-digit code it shows.")},
    {QStringLiteral("Connect"),
     QStringLiteral("The Wireless debugging screen itself shows the address to connect to: the same IP address, "
                    "another port.")}};

// A caption over a one-line field on a rounded, outlined panel.
QLineEdit *addField(QVBoxLayout *column, const QString &caption, const QString &placeholder) {
    column->addWidget(makeLabel(caption, dmSansFont(12.5, QFont::DemiBold), Palette::textSoft));
    column->addSpacing(6);
    auto *panel = new RoundedPanel(Palette::surfaceRaised, Palette::border, 8);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(12, 7, 12, 7);
    auto *field = new QLineEdit;
    field->setFrame(false);
    field->setPlaceholderText(placeholder);
    field->setAccessibleName(caption);
    field->setFont(dmSansFont(14, QFont::Medium));
    QPalette colors = field->palette();
    colors.setColor(QPalette::Base, Qt::transparent);
    colors.setColor(QPalette::Text, Palette::textPrimary);
    colors.setColor(QPalette::PlaceholderText, Palette::textMuted);
    field->setPalette(colors);
    field->setTextMargins(0, 0, 0, 0);
    panelLayout->addWidget(field);
    column->addWidget(panel);
    column->addSpacing(12);
    return field;
}

QColor messageColor(const PairingFlow &flow) {
    if (flow.phase() != PairingFlow::Phase::finished || !flow.outcome()) return Palette::textSecondary;
    switch (*flow.outcome()) {
    case PairingFlow::Outcome::paired:
        return Palette::accent;
    case PairingFlow::Outcome::pairedNotConnected:
    case PairingFlow::Outcome::tooOld:
        return Palette::warning;
    default:
        return Palette::danger;
    }
}

} // namespace

PairingView::PairingView(PairingFlow &flow, QWidget *parent) : QWidget(parent), flow_(flow) {
    QVBoxLayout *column = layOutGuidePage(this, QStringLiteral("Pair with a code"),
                                          QStringLiteral("Android 11 and later, no cable at all."));
    column->addSpacing(20);
    for (qsizetype index = 0; index < pairingSteps.size(); ++index) {
        column->addWidget(new GuideStepRow(static_cast<int>(index + 1), pairingSteps[index]));
        column->addSpacing(16);
    }
    column->addSpacing(4);

    pairingAddress_ = addField(column, QStringLiteral("Pairing address"), QStringLiteral("192.168.1.20:37251"));
    code_ = addField(column, QStringLiteral("Pairing code"), QStringLiteral("123456"));
    connectAddress_ = addField(column, QStringLiteral("Connect address"), QStringLiteral("192.168.1.20:41234"));
    pairingAddress_->setText(flow_.pairingAddress());
    code_->setText(flow_.code());
    connectAddress_->setText(flow_.connectAddress());

    // The outcome stands beside the button, so the page fits without scrolling.
    auto *actions = new QHBoxLayout;
    actions->setSpacing(14);
    pair_ = makePrimaryButton(QStringLiteral("Pair"));
    actions->addWidget(pair_, 0, Qt::AlignTop);
    message_ = makeWrappingLabel(QString(), dmSansFont(12.5, QFont::Normal), Palette::textSecondary);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    actions->addWidget(message_, 1, Qt::AlignVCenter);
    column->addLayout(actions);
    column->addStretch(1);

    // Typing writes the flow; the flow's own changes (the connect address
    // following the pairing one) come back without touching the cursor.
    connect(pairingAddress_, &QLineEdit::textEdited, &flow_, &PairingFlow::setPairingAddress);
    connect(code_, &QLineEdit::textEdited, &flow_, &PairingFlow::setCode);
    connect(connectAddress_, &QLineEdit::textEdited, &flow_, &PairingFlow::setConnectAddress);
    connect(&flow_, &PairingFlow::connectAddressChanged, this, [this] {
        if (connectAddress_->text() != flow_.connectAddress()) connectAddress_->setText(flow_.connectAddress());
    });
    for (QLineEdit *field : {pairingAddress_, code_, connectAddress_})
        connect(field, &QLineEdit::returnPressed, pair_, &QAbstractButton::click);
    connect(pair_, &QAbstractButton::clicked, this, [this] { flow_.pair(); });
    connect(&flow_, &PairingFlow::phaseChanged, this, &PairingView::showFlow);
    connect(&flow_, &PairingFlow::supportChanged, this, &PairingView::showFlow);
    connect(&flow_, &PairingFlow::messageChanged, this, &PairingView::showFlow);
    showFlow();
}

void PairingView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    flow_.checkSupport();
}

void PairingView::showFlow() {
    const bool canPair = flow_.support() != PairingFlow::Support::tooOld;
    const bool running = flow_.phase() == PairingFlow::Phase::running;
    for (QLineEdit *field : {pairingAddress_, code_, connectAddress_}) field->setEnabled(canPair && !running);
    pair_->setEnabled(canPair && !running);
    message_->setText(flow_.message());
    QPalette colors = message_->palette();
    colors.setColor(QPalette::WindowText, messageColor(flow_));
    message_->setPalette(colors);
    message_->setVisible(!flow_.message().isEmpty());
}
