#pragma once

#include <QList>
#include <QString>

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

// How the chooser offers a guide: its card title, caption and icon.
struct GuideOption {
    Guide guide;
    QString title;
    QString caption;
    QString iconName;
};

QList<GuideOption> guideOptions();
