#pragma once

#include <QAbstractButton>

#include <functional>

// The last item of the device list: "Connect another device" on a dashed
// outline. Pressing anywhere on it runs `action`.
class AddDeviceCard : public QAbstractButton {
    Q_OBJECT
public:
    explicit AddDeviceCard(std::function<void()> action, QWidget *parent = nullptr);

    static constexpr qreal cornerRadius = 16;
    static constexpr qreal outlineWidth = 1.5;
    static constexpr qreal dashLength = 5;
    static constexpr qreal gapLength = 4;

protected:
    void paintEvent(QPaintEvent *event) override;
};
