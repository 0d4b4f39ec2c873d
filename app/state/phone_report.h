#pragma once

#include "app/adb/android_device.h"
#include "app/adb/storage_reader.h"

#include <QHash>
#include <QList>
#include <QString>

// The console listing the program prints until it has a window: one line
// per phone with its serial, state, model and storage figures.
QString formatPhoneReport(const QList<AndroidDevice> &devices, const QHash<QString, StoragePair> &storageBySerial);
