#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The devices named on vantrel-set's command line.
namespace SetArguments {

// How a device is named in an example: "/dev/ttyUSB0", "COM3".
[[nodiscard]] QString deviceExample();
// The help's words on DEVICE.
[[nodiscard]] QString deviceAbout();
// The help's words on --watch (what stops it) and on --match (what it reads
// of a device: the names this system gives one).
[[nodiscard]] const char *watchAbout();
[[nodiscard]] const char *matchAbout();

// The device an argument names, as the port will be opened.
[[nodiscard]] QString deviceOf(const QString &argument);

struct Devices
{
    std::optional<QStringList> devices;
    QString error;
};

// Each argument's device, refusing one device named twice by any path.
[[nodiscard]] Devices devicesOf(const QStringList &arguments);

} // namespace SetArguments
