#pragma once

#include <QList>
#include <QString>

#include <optional>

// The two ways of connecting a phone that the guide teaches, in this order.
enum class Guide { usb, wifi };

struct GuideStep {
    QString title;
    QString body;
};

struct GuideContent {
    QString title;
    QString subtitle;
    QList<GuideStep> steps;  // shown numbered from 1 by position
};

GuideContent guideContent(Guide guide);

// How the chooser offers a guide: its card title, caption and icon. Without
// a guide it offers pairing with a code.
struct GuideOption {
    std::optional<Guide> guide;
    QString title;
    QString caption;
    QString iconName;
};

QList<GuideOption> guideOptions();
// "Pair with a code", offered where the presenter can pair.
GuideOption pairingOption();
