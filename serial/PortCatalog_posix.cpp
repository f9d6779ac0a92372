#include "serial/PortCatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

QList<PortEntry> SystemPortCatalog::devices() const
{
    const QHash<QString, QString> byId = serialByIdLinks();
    const QHash<QString, QString> byPath =
        serialByIdLinks(QStringLiteral("/dev/serial/by-path"));
    QList<PortEntry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortEntry entry{info.systemLocation(), info.description()};
        const QString canonical = QFileInfo(entry.location).canonicalFilePath();
        entry.byId = byId.value(canonical);
        entry.byPath = byPath.value(canonical);
        entry.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            entry.vendorId = info.vendorIdentifier();
            entry.productId = info.productIdentifier();
        }
        entries.append(entry);
    }
    entries = naturalPortOrder(std::move(entries));
    const QList<PortEntry> advertised = AdvertisedPorts::list();
    entries.append(advertised.mid(0, kMaxPortNumber - entries.size()));
    return entries;
}

namespace {

bool processRuns(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// "dongle-emulator" -> "Dongle emulator"
QString describe(QString label, const QString &target)
{
    label.replace(QLatin1Char('-'), QLatin1Char(' '));
    if (!label.isEmpty())
        label[0] = label[0].toUpper();
    return QStringLiteral("%1 (%2)").arg(label, target);
}

} // namespace

bool AdvertisedPorts::makeFolder(QString *error)
{
    const QString dir = folder();
    if (dir.isEmpty()) {
        *error = QStringLiteral("this system has no runtime folder");
        return false;
    }
    // Private to this user, like the runtime folder it lives in.
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("cannot create %1: %2").arg(dir, qt_error_string(errno));
        return false;
    }
    return true;
}

QString AdvertisedPorts::advertise(const QString &device, const QString &label, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return QString();
    };
    const QString dir = folder();
    if (dir.isEmpty())
        return fail(QStringLiteral("this system has no runtime folder"));
    QString why;
    if (!makeFolder(&why))
        return fail(why);
    const QString link =
        QStringLiteral("%1/%2.%3").arg(dir, label).arg(QCoreApplication::applicationPid());
    ::unlink(QFile::encodeName(link).constData()); // a leftover of an earlier process
    if (::symlink(QFile::encodeName(device).constData(), QFile::encodeName(link).constData()) != 0)
        return fail(QStringLiteral("cannot create %1: %2").arg(link, qt_error_string(errno)));
    return link;
}

QList<PortEntry> AdvertisedPorts::list()
{
    const QString dir = folder();
    if (dir.isEmpty())
        return {};
    QList<PortEntry> entries;
    const QStringList names = QDir(dir).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        bool isNumber = false;
        const qint64 pid = dot > 0 ? name.mid(dot + 1).toLongLong(&isNumber) : 0;
        // A program killed outright leaves its link behind.
        if (!isNumber || !processRuns(pid))
            continue;
        const QString path = dir + QLatin1Char('/') + name;
        const QByteArray encoded = QFile::encodeName(path);
        struct stat linkStat = {};
        struct stat targetStat = {};
        if (::lstat(encoded.constData(), &linkStat) != 0 || !S_ISLNK(linkStat.st_mode) ||
            linkStat.st_uid != ::getuid())
            continue;
        if (::stat(encoded.constData(), &targetStat) != 0 || !S_ISCHR(targetStat.st_mode))
            continue;
        entries.append({path, describe(name.left(dot), QFile::symLinkTarget(path))});
    }
    return entries;
}
