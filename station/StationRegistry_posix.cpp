#include "station/StationRegistry.h"

#include <QFile>

#include <cerrno>
#include <limits>
#include <signal.h>

QString StationRegistry::defaultFolder()
{
    const QString folder = AdvertisedPorts::folder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/stations");
}

std::optional<QString> runningProcessStamp(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return std::nullopt;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return std::nullopt;
    // Linux: the state (third field of /proc/PID/stat) and the start in clock
    // ticks since boot (the 22nd). The name in parentheses may hold blanks,
    // so the fields are counted from its end.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // A killed process its parent has not yet reaped is gone all the same.
    if (fields.value(0) == "Z")
        return std::nullopt;
    return QString::fromLatin1(fields.value(19));
}
