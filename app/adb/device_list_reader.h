#pragma once

#include "app/adb/android_device.h"

#include <QList>
#include <QString>

#include <optional>

// Reads the complete standard output of `adb devices -l`. The first
// non-empty line is the tool's header and is always dropped.
QList<AndroidDevice> parseDevices(const QString &text);

// Reads one line of that output (without its line feed): serial, state word,
// then optional key:value tokens of which only "model:" is used.
std::optional<AndroidDevice> parseDeviceLine(const QString &line);
