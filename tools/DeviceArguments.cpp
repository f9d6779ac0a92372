#include "tools/DeviceArguments.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace SetArguments {
namespace {

// Canonical path for telling whether two names mean one device; a path that
// does not exist (yet) compares as written.
QString deviceIdentity(const QString &device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(device).absoluteFilePath()) : canonical;
}

} // namespace

Devices devicesOf(const QStringList &arguments)
{
    QStringList devices;
    QHash<QString, QString> seen;
    for (const QString &argument : arguments) {
        const QString device = deviceOf(argument);
        const QString identity = deviceIdentity(device);
        if (seen.contains(identity)) {
            return {std::nullopt, QStringLiteral("\"%1\" and \"%2\" are the same device; name "
                                                 "each device once.")
                                      .arg(seen.value(identity), device)};
        }
        seen.insert(identity, device);
        devices.append(device);
    }
    return {devices, {}};
}

} // namespace SetArguments
