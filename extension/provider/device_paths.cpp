#include "extension/provider/device_paths.h"

using fileprovider::ItemIdentifier;

QString devicePathFor(const ItemIdentifier &identifier) {
    if (identifier == ItemIdentifier::rootContainer()) return deviceRoot;
    return identifier.text();
}

ItemIdentifier identifierForDevicePath(const QString &devicePath) {
    if (devicePath == deviceRoot) return ItemIdentifier::rootContainer();
    return ItemIdentifier(devicePath);
}

QString childPath(const QString &parent, const QString &name) {
    if (parent.endsWith(u'/')) return parent + name;
    return parent + u'/' + name;
}

namespace {

QString withoutTrailingSlashes(const QString &path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == u'/') --end;
    return path.left(end);
}

} // namespace

QString lastPathComponent(const QString &path) {
    const QString trimmed = withoutTrailingSlashes(path);
    if (trimmed == QLatin1String("/")) return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString deletingLastPathComponent(const QString &path) {
    const QString trimmed = withoutTrailingSlashes(path);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0) return QString();
    if (slash == 0) return trimmed == QLatin1String("/") ? QString() : QStringLiteral("/");
    return trimmed.left(slash);
}

QString pathExtension(const QString &path) {
    const QString component = lastPathComponent(path);
    const qsizetype dot = component.lastIndexOf(u'.');
    if (dot < 0) return QString();
    return component.mid(dot + 1);
}
