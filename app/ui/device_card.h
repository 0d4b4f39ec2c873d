#pragma once

#include "app/adb/android_device.h"
#include "app/ui/device_card_rules.h"

#include <QString>
#include <QWidget>

class AppViewModel;
class BusyIndicator;
class ConnectionBadge;
class ElidingLabel;
class MountService;
class PhIcon;
class QLabel;
class QLineEdit;
class RemoveButton;
class StatusDot;
class StyledButton;

// One phone on the device screen: its name (editable), connection, state and
// free space, and the buttons to mount, reveal, unmount, move it to Wi-Fi or
// take it off the list. It keeps only the text of its name field; everything
// else it draws from the model and the mount service, which must outlive it.
class DeviceCard : public QWidget {
    Q_OBJECT
public:
    DeviceCard(const AndroidDevice &device, AppViewModel &model, MountService &mount, QWidget *parent = nullptr);

    const AndroidDevice &device() const { return device_; }
    // The same phone in a newer listing; another serial starts the name over.
    void setDevice(const AndroidDevice &device);

    QString name() const;
    CardActions actions() const { return actions_; }

    // The parts, for the screen and for tests.
    QLineEdit *nameField() const { return nameField_; }
    PhIcon *tileIcon() const { return tileIcon_; }
    ConnectionBadge *badge() const { return badge_; }
    QLabel *statusLabel() const { return statusLabel_; }
    // How to fix a phone the user's account may not open; hidden otherwise.
    QLabel *hintLabel() const { return hintLabel_; }
    StatusDot *statusDot() const { return statusDot_; }
    ElidingLabel *serialLabel() const { return serialLabel_; }
    ElidingLabel *storageLabel() const { return storageLabel_; }
    RemoveButton *removeButton() const { return removeButton_; }
    QWidget *progress() const { return progress_; }
    BusyIndicator *busyIndicator() const { return busyIndicator_; }
    QLabel *progressLabel() const { return progressLabel_; }
    StyledButton *showInFinderButton() const { return showInFinder_; }
    StyledButton *unmountButton() const { return unmount_; }
    StyledButton *connectWifiButton() const { return connectWifi_; }
    StyledButton *mountButton() const { return mountButton_; }

    static constexpr qreal cornerRadius = 12;
    // Opacity of "Mount" on a phone that is not ready, over the style's own
    // disabled look.
    static constexpr qreal unavailableMountOpacity = 0.5;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *makeHeader();
    QWidget *makeInformationRow();
    QWidget *makeActionsRow();
    void fillName();
    MountState mountState() const;
    void refreshState();
    void refreshStorage();
    void refreshBusy();

    AndroidDevice device_;
    AppViewModel &model_;
    MountService &mount_;
    CardActions actions_ = CardActions::mountOnly;

    QLineEdit *nameField_ = nullptr;
    PhIcon *tileIcon_ = nullptr;
    ConnectionBadge *badge_ = nullptr;
    QLabel *statusLabel_ = nullptr;
    QLabel *hintLabel_ = nullptr;
    StatusDot *statusDot_ = nullptr;
    ElidingLabel *serialLabel_ = nullptr;
    ElidingLabel *storageLabel_ = nullptr;
    RemoveButton *removeButton_ = nullptr;
    QWidget *progress_ = nullptr;
    BusyIndicator *busyIndicator_ = nullptr;
    QLabel *progressLabel_ = nullptr;
    StyledButton *showInFinder_ = nullptr;
    StyledButton *unmount_ = nullptr;
    StyledButton *connectWifi_ = nullptr;
    StyledButton *mountButton_ = nullptr;
};
