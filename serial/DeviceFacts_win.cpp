#include "serial/DeviceFacts.h"

#include <QStandardPaths>

// A COM port has no device node, no owning group and no lock file: opening
// it is what tells whether it can be used.
namespace DeviceFacts {

bool accessDenied(const QString &)
{
    return false;
}

QString owningGroup(const QString &)
{
    return {};
}

bool lockedByAnother(const QString &)
{
    return false;
}

QString whyNotADevice(const QString &)
{
    return {};
}

QString deviceKey(const QString &location)
{
    QString name = location.toUpper();
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name.remove(0, 4);
    return name;
}

QString notesFolder()
{
    const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    return temp.isEmpty() ? QString() : temp + QStringLiteral("/vantrel/devices");
}

} // namespace DeviceFacts
