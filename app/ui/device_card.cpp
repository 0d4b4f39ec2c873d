#include "app/ui/device_card.h"

#include "app/mount/mount_service.h"
#include "app/state/app_view_model.h"
#include "app/ui/busy_indicator.h"
#include "app/ui/button_style.h"
#include "app/ui/card_parts.h"
#include "app/ui/dm_sans.h"
#include "app/ui/palette.h"
#include "app/ui/ph_icon.h"
#include "app/ui/remove_button.h"
#include "app/ui/rounded_panel.h"
#include "app/ui/soft_shadow_effect.h"
#include "app/ui/styled_button.h"
#include "app/ui/text_label.h"
#include "platform/workspace/file_manager_name.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The primary look, faded further while disabled: the card's "Mount" for a
// phone that is not ready.
class UnavailableMountStyle final : public ButtonStyle {
public:
    ButtonLook look(const ButtonState &state) const override {
        ButtonLook look = primary_.look(state);
        if (!state.enabled)
            look.opacity *= DeviceCard::unavailableMountOpacity;
        return look;
    }

private:
    PrimaryButtonStyle primary_;
};

QWidget *labelledValue(const QString &caption, ElidingLabel *value, Qt::Alignment alignment) {
    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    QLabel *label = makeLabel(caption, dmSansFont(9.5, QFont::Bold), Palette::textSecondary);
    label->setAlignment(alignment);
    value->setAlignment(alignment | Qt::AlignVCenter);
    layout->addWidget(label);
    layout->addWidget(value);
    return column;
}

} // namespace

DeviceCard::DeviceCard(const AndroidDevice &device, AppViewModel &model, MountService &mount, QWidget *parent)
    : QWidget(parent), device_(device), model_(model), mount_(mount) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(device.serial);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeader());
    column->addWidget(new Divider(Palette::border));
    column->addWidget(makeInformationRow());
    column->addWidget(new Divider(Palette::border));
    column->addWidget(makeActionsRow());

    auto *shadow = new SoftShadowEffect(this);
    shadow->setShadow(Palette::withOpacity(Qt::black, 0.25), 10, QPointF(0, 4));
    setGraphicsEffect(shadow);

    connect(&mount_, &MountService::mountChanged, this, [this](const QString &serial) {
        if (serial == device_.serial)
            refreshState();
    });
    connect(&mount_, &MountService::mountsCleared, this, &DeviceCard::refreshState);
    connect(&model_, &AppViewModel::storageBySerialChanged, this, &DeviceCard::refreshStorage);
    connect(&model_, &AppViewModel::isBusyChanged, this, &DeviceCard::refreshBusy);

    fillName();
    refreshState();
    refreshStorage();
    refreshBusy();
}

QWidget *DeviceCard::makeHeader() {
    auto *header = new QWidget;
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(13);

    auto *tile = new RoundedPanel(Palette::borderStrong, std::nullopt, 11);
    tile->setFixedSize(46, 46);
    auto *tileLayout = new QVBoxLayout(tile);
    tileLayout->setContentsMargins(0, 0, 0, 0);
    tileIcon_ = new PhIcon(deviceIconName(device_), 24, Palette::textSoft);
    tileLayout->addWidget(tileIcon_, 0, Qt::AlignCenter);
    row->addWidget(tile, 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(5);
    nameField_ = new QLineEdit;
    nameField_->setFrame(false);
    nameField_->setPlaceholderText(QStringLiteral("Device name"));
    nameField_->setFont(dmSansFont(15, QFont::DemiBold, 0));
    nameField_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette fieldColors = nameField_->palette();
    fieldColors.setColor(QPalette::Base, Qt::transparent);
    fieldColors.setColor(QPalette::Text, Palette::textPrimary);
    fieldColors.setColor(QPalette::PlaceholderText, Palette::textMuted);
    fieldColors.setColor(QPalette::Highlight, Palette::withOpacity(Palette::accent, 0.35));
    fieldColors.setColor(QPalette::HighlightedText, Palette::textPrimary);
    nameField_->setPalette(fieldColors);
    nameField_->setTextMargins(0, 0, 0, 0);
    connect(nameField_, &QLineEdit::textChanged, this,
            [this](const QString &text) { model_.setCustomName(device_.serial, text); });
    texts->addWidget(nameField_);

    auto *statusRow = new QHBoxLayout;
    statusRow->setSpacing(7);
    badge_ = new ConnectionBadge(connectionBadgeText(device_));
    statusRow->addWidget(badge_, 0, Qt::AlignVCenter);
    statusLabel_ = makeLabel(QString(), dmSansFont(12, QFont::Normal), Palette::textSecondary);
    statusRow->addWidget(statusLabel_, 1, Qt::AlignVCenter);
    texts->addLayout(statusRow);
    row->addLayout(texts, 1);

    statusDot_ = new StatusDot(9);
    row->addWidget(statusDot_, 0, Qt::AlignVCenter);
    return header;
}

QWidget *DeviceCard::makeInformationRow() {
    auto *information = new QWidget;
    auto *row = new QHBoxLayout(information);
    row->setContentsMargins(16, 13, 16, 13);
    row->setSpacing(12);
    const QFont valueFont = dmSansFont(12.5, QFont::Medium);
    serialLabel_ = new ElidingLabel(device_.serial, valueFont, Palette::textPrimary);
    storageLabel_ = new ElidingLabel(QString(), valueFont, Palette::textPrimary);
    row->addWidget(labelledValue(QStringLiteral("SERIAL"), serialLabel_, Qt::AlignLeft), 1, Qt::AlignTop);
    row->addWidget(labelledValue(QStringLiteral("FREE SPACE"), storageLabel_, Qt::AlignRight), 0, Qt::AlignTop);

    auto *rows = new QWidget;
    auto *column = new QVBoxLayout(rows);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(information);
    hintLabel_ = makeWrappingLabel(QString(), dmSansFont(11.5, QFont::Normal), Palette::textSecondary);
    hintLabel_->setContentsMargins(16, 0, 16, 13);
    column->addWidget(hintLabel_);
    return rows;
}

QWidget *DeviceCard::makeActionsRow() {
    auto *actions = new QWidget;
    auto *row = new QHBoxLayout(actions);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(10);

    removeButton_ = new RemoveButton;
    connect(removeButton_, &QAbstractButton::clicked, this, [this] { model_.remove(device_.serial); });
    row->addWidget(removeButton_);
    row->addStretch(1);

    progress_ = new QWidget;
    auto *progressRow = new QHBoxLayout(progress_);
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressRow->setSpacing(8);
    busyIndicator_ = new BusyIndicator(16, Palette::textSecondary);
    progressRow->addWidget(busyIndicator_);
    progressLabel_ = makeLabel(QString(), dmSansFont(12.5, QFont::Medium), Palette::textSecondary);
    progressRow->addWidget(progressLabel_);
    row->addWidget(progress_);

    showInFinder_ = makeSecondaryButton(QStringLiteral("Show in ") + fileManagerName());
    connect(showInFinder_, &QAbstractButton::clicked, this, [this] { mount_.reveal(device_.serial); });
    row->addWidget(showInFinder_);

    unmount_ = makePrimaryButton(QStringLiteral("Unmount"));
    unmount_->setLeadingIcon(QStringLiteral("eject"), 13);
    connect(unmount_, &QAbstractButton::clicked, this, [this] { mount_.unmount(device_.serial); });
    row->addWidget(unmount_);

    connectWifi_ = makeSecondaryButton(QStringLiteral("Connect via Wi-Fi"));
    connectWifi_->setLeadingIcon(QStringLiteral("wifi-high"), 14);
    connect(connectWifi_, &QAbstractButton::clicked, this, [this] { model_.connectWireless(device_.serial); });
    row->addWidget(connectWifi_);

    mountButton_ = new StyledButton(QStringLiteral("Mount"), std::make_shared<UnavailableMountStyle>());
    mountButton_->setLeadingIcon(QStringLiteral("hard-drives"), 14);
    // The name as typed goes along, even an empty one.
    connect(mountButton_, &QAbstractButton::clicked, this, [this] { mount_.mount(device_, nameField_->text()); });
    row->addWidget(mountButton_);
    return actions;
}

void DeviceCard::setDevice(const AndroidDevice &device) {
    const bool otherPhone = device.serial != device_.serial;
    device_ = device;
    setAccessibleName(device_.serial);
    tileIcon_->setIconName(deviceIconName(device_));
    badge_->setText(connectionBadgeText(device_));
    serialLabel_->setText(device_.serial);
    if (otherPhone) {
        fillName();
        refreshStorage();
    }
    refreshState();
}

QString DeviceCard::name() const {
    return nameField_->text();
}

void DeviceCard::fillName() {
    // Goes through textChanged like typing, so the model stores it too.
    nameField_->setText(model_.displayName(device_));
}

MountState DeviceCard::mountState() const {
    return mount_.mountOf(device_.serial).state;
}

void DeviceCard::refreshState() {
    const MountState state = mountState();
    actions_ = cardActions(device_, state);
    statusLabel_->setText(statusText(device_, state));
    statusDot_->setColor(statusDotColor(device_, state));
    hintLabel_->setText(fixHint(device_));
    hintLabel_->setVisible(!hintLabel_->text().isEmpty());

    removeButton_->setVisible(offersRemove(actions_));
    progress_->setVisible(actions_ == CardActions::mounting || actions_ == CardActions::unmounting);
    progressLabel_->setText(actions_ == CardActions::unmounting ? QStringLiteral("Unmounting\u2026")
                                                                : QStringLiteral("Mounting\u2026"));
    showInFinder_->setVisible(actions_ == CardActions::mounted);
    unmount_->setVisible(actions_ == CardActions::mounted);
    connectWifi_->setVisible(actions_ == CardActions::cableReady);
    mountButton_->setVisible(actions_ == CardActions::cableReady || actions_ == CardActions::mountOnly);
    mountButton_->setEnabled(actions_ == CardActions::cableReady || mountUsable(device_));
}

void DeviceCard::refreshStorage() {
    const auto &figures = model_.storageBySerial();
    const auto found = figures.constFind(device_.serial);
    storageLabel_->setText(storageText(found == figures.cend() ? std::nullopt : std::optional<StoragePair>(*found)));
}

void DeviceCard::refreshBusy() {
    connectWifi_->setEnabled(!model_.isBusy());
}

void DeviceCard::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::surface);
    painter.drawRoundedRect(bounds, cornerRadius, cornerRadius);
    painter.setPen(QPen(Palette::border, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
}
