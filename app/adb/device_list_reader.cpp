#include "app/adb/device_list_reader.h"

#include "app/adb/text_tokens.h"

QList<AndroidDevice> parseDevices(const QString &text) {
    const QStringList lines = splitOutputLines(text);
    QList<AndroidDevice> devices;
    for (qsizetype index = 1; index < lines.size(); ++index) {
        if (auto device = parseDeviceLine(lines[index])) devices.append(std::move(*device));
    }
    return devices;
}

std::optional<AndroidDevice> parseDeviceLine(const QString &line) {
    const QStringList tokens = splitAtBlanks(line);
    if (tokens.size() < 2) return std::nullopt;

    AndroidDevice device;
    device.serial = tokens[0];
    // "no permissions (WHY); see [URL]": the only state word with blanks.
    // Such a phone tells nothing about itself; the words are adb's own.
    if (tokens[1] == QLatin1String("no") && tokens.size() > 2 && tokens[2] == QLatin1String("permissions")) {
        device.state = AndroidDevice::State::noPermissions;
        return device;
    }
    device.state = deviceStateFromText(tokens[1]);
    static const QLatin1String modelKey("model:");
    for (const QString &token : tokens) {
        if (token.startsWith(modelKey)) {
            device.model = token.mid(modelKey.size());
            break;
        }
    }
    return device;
}
