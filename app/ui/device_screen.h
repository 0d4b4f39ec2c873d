#pragma once

#include <QList>
#include <QWidget>
#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>

class AddDeviceCard;
class AppViewModel;
class CircleIconButton;
class ConnectGuideView;
class DeviceCard;
class MountService;
class QScrollArea;
class QStackedLayout;
class QTimer;
class QVBoxLayout;

// The window's usual page: one card per phone and a card that opens the
// connection guide, or the guide alone while no phone is listed. While it is
// shown it keeps the list current: it removes every file-manager domain of
// the app, runs one full scan, then a quiet scan 3 seconds after each one
// ends. Hiding or destroying it stops that; showing it again starts over.
class DeviceScreen : public QWidget {
    Q_OBJECT
public:
    DeviceScreen(AppViewModel &model, MountService &mount, std::function<void()> onAddDevice,
                 std::function<void()> onSettings, QWidget *parent = nullptr);

    // The cards in list order.
    const QList<DeviceCard *> &cards() const { return cards_; }
    DeviceCard *cardFor(const QString &serial) const;
    bool showsEmptyState() const;
    ConnectGuideView *emptyState() const { return emptyState_; }
    QScrollArea *list() const { return list_; }
    AddDeviceCard *addCard() const { return addCard_; }
    CircleIconButton *settingsButton() const { return settings_; }
    // True from the first show until the screen is hidden.
    bool isRunning() const { return running_; }

    static constexpr std::chrono::milliseconds pollInterval{3000};

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void start();
    void stop();
    QCoro::Task<> run(unsigned generation);
    QCoro::Task<> pollOnce(unsigned generation);
    bool current(unsigned generation) const { return running_ && generation == generation_; }
    void syncCards();
    void placeSettingsButton();

    AppViewModel &model_;
    MountService &mount_;
    QList<DeviceCard *> cards_;
    QStackedLayout *pages_;
    ConnectGuideView *emptyState_;
    QScrollArea *list_;
    QWidget *column_;
    QVBoxLayout *columnLayout_;
    AddDeviceCard *addCard_;
    CircleIconButton *settings_;
    QTimer *pollTimer_;
    bool running_ = false;
    unsigned generation_ = 0;
};
