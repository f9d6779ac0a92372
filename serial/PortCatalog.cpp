#include "serial/PortCatalog.h"
#include "serial/ComPorts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <QSerialPortInfo>
#endif

#include <algorithm>
#include <limits>
#include <tuple>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

PortCatalog::~PortCatalog() = default;

namespace {

struct NameKey
{
    QString stem;
    qulonglong number = 0;
    bool hasNumber = false;
};

NameKey nameKey(const QString &location)
{
    const QString name = location.mid(location.lastIndexOf(QLatin1Char('/')) + 1);
    qsizetype digitsFrom = name.size();
    while (digitsFrom > 0 && name.at(digitsFrom - 1).isDigit())
        --digitsFrom;
    NameKey key{name.left(digitsFrom), 0, false};
    const QStringView digits = QStringView(name).mid(digitsFrom).right(18); // fits 64 bits
    if (!digits.isEmpty())
        key.number = digits.toULongLong(&key.hasNumber);
    return key;
}

} // namespace

QList<PortEntry> naturalPortOrder(QList<PortEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const PortEntry &a, const PortEntry &b) {
        const NameKey ka = nameKey(a.location);
        const NameKey kb = nameKey(b.location);
        const int byStem = ka.stem.compare(kb.stem);
        if (byStem != 0)
            return byStem < 0;
        return std::tie(ka.hasNumber, ka.number, a.location) <
               std::tie(kb.hasNumber, kb.number, b.location);
    });
    if (entries.size() > kMaxPortNumber)
        entries.resize(kMaxPortNumber);
    return entries;
}

QList<ScannedPort> PortNumbering::number(const QList<PortEntry> &present)
{
    QList<ScannedPort> numbered;
    for (const PortEntry &device : present) {
        const QString name = device.stableName();
        auto known = m_numbers.constFind(name);
        if (known == m_numbers.cend()) {
            if (m_lastGiven == kMaxPortNumber)
                continue;
            known = m_numbers.insert(name, ++m_lastGiven);
        }
        numbered.append({*known, device});
    }
    std::sort(numbered.begin(), numbered.end(),
              [](const ScannedPort &a, const ScannedPort &b) { return a.number < b.number; });
    // One device listed twice (two names for one path) keeps one number.
    numbered.erase(std::unique(numbered.begin(), numbered.end(),
                               [](const ScannedPort &a, const ScannedPort &b) {
                                   return a.number == b.number;
                               }),
                   numbered.end());
    return numbered;
}

QString portToolTip(const PortEntry &device)
{
    QStringList lines{device.location};
    if (!device.byId.isEmpty())
        lines << device.byId;
    QString usb = device.description;
    if (!device.serialNumber.isEmpty()) {
        usb += (usb.isEmpty() ? QStringLiteral("Serial number ")
                              : QStringLiteral(", serial number ")) +
               device.serialNumber;
    }
    if (!usb.isEmpty())
        lines << usb;
    return lines.join(QLatin1Char('\n'));
}

QList<PortEntry> SystemPortCatalog::devices() const
{
#ifdef Q_OS_WIN
    return ComPorts::numbered(ComPorts::listedBySystem());
#else
    const QHash<QString, QString> byId = serialByIdLinks();
    QList<PortEntry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortEntry entry{info.systemLocation(), info.description()};
        entry.byId = byId.value(QFileInfo(entry.location).canonicalFilePath());
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
#endif
}

QHash<QString, QString> serialByIdLinks(const QString &folder)
{
    QHash<QString, QString> links;
    const QFileInfoList found =
        QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : found) {
        const QString target = link.canonicalFilePath();
        // Two links to one device (a rare udev rule): keep the first by name.
        if (link.isSymLink() && !target.isEmpty() && !links.contains(target))
            links.insert(target, link.absoluteFilePath());
    }
    return links;
}

QString AdvertisedPorts::folder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/vantrel");
}

#ifdef Q_OS_UNIX

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
    // Private to this user, like the runtime folder it lives in.
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST)
        return fail(QStringLiteral("cannot create %1: %2").arg(dir, qt_error_string(errno)));
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

#else

QString AdvertisedPorts::advertise(const QString &, const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("not supported on this system");
    return {};
}

QList<PortEntry> AdvertisedPorts::list()
{
    return {};
}

#endif
