#pragma once

#include "app/state/app_view_model.h"

#include <QMap>
#include <QString>

namespace testsupport {

// Counts the change signals of one model, by field name.
class SignalLog {
public:
    explicit SignalLog(AppViewModel &model) {
        QObject::connect(&model, &AppViewModel::devicesChanged, [this] { ++counts["devices"]; });
        QObject::connect(&model, &AppViewModel::storageBySerialChanged, [this] { ++counts["storageBySerial"]; });
        QObject::connect(&model, &AppViewModel::isBusyChanged, [this] { ++counts["isBusy"]; });
        QObject::connect(&model, &AppViewModel::statusMessageChanged, [this] { ++counts["statusMessage"]; });
        QObject::connect(&model, &AppViewModel::errorMessageChanged, [this] { ++counts["errorMessage"]; });
        QObject::connect(&model, &AppViewModel::customNamesChanged, [this] { ++counts["customNames"]; });
        QObject::connect(&model, &AppViewModel::removedSerialsChanged, [this] { ++counts["removedSerials"]; });
    }
    int operator[](const QString &field) const { return counts.value(field); }
    int total() const {
        int sum = 0;
        for (int count : counts) sum += count;
        return sum;
    }
    void clear() { counts.clear(); }

    QMap<QString, int> counts;
};

} // namespace testsupport
