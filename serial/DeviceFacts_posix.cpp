#include "serial/DeviceFacts.h"

#include "serial/PortCatalog.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace DeviceFacts {

bool accessDenied(const QString &location)
{
    return ::access(QFile::encodeName(location).constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

QString owningGroup(const QString &location)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(location).constData(), &st) != 0)
        return {};
    const group *g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString();
}

bool lockedByAnother(const QString &location)
{
    // The folders and the name the serial port class takes its lock in:
    // "/dev/ttyUSB0" locks as "LCK..ttyUSB0", other paths with '/' as '_'.
    QString name = location.startsWith(QLatin1String("/dev/")) ? location.mid(5) : location;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const char *const folders[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                   "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                   "/var/lock/lockdev", "/run/lock"};
    for (const char *folder : folders) {
        const QString path = QLatin1String(folder) + QLatin1String("/LCK..") + name;
        if (!QFileInfo::exists(path))
            continue;
        qint64 pid = 0;
        QString host;
        QString application;
        if (QLockFile(path).getLockInfo(&pid, &host, &application) && pid > 0 &&
            (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            return true;
    }
    return false;
}

QString whyNotADevice(const QString &location)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(location).constData(), &st) != 0) {
        const int error = errno;
        return QStringLiteral("Cannot open %1: %2.").arg(location, systemErrorText(error));
    }
    if (!S_ISCHR(st.st_mode))
        return QStringLiteral("Cannot open %1: it is not a serial device.").arg(location);
    return {};
}

QString deviceKey(const QString &location)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(location).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return {};
    return QStringLiteral("%1-%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
}

QString notesFolder()
{
    // Beside the emulators' links, in a folder of its own so that their
    // listing does not change.
    const QString folder = AdvertisedPorts::folder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/devices");
}

} // namespace DeviceFacts
