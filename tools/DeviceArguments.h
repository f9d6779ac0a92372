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
