#include "station/StationRegistry.h"

#include "station/DeviceMatch.h"
#include "station/ProductionRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>
#include <atomic>

namespace {

constexpr int kLockWaitMs = 5000;
// A notice is a few hundred bytes; anything much larger is not one.
constexpr qint64 kMostNoticeBytes = 64 * 1024;

QByteArray noticeText(const StationNotice &notice)
{
    const QJsonObject object{
        {QStringLiteral("pid"), notice.pid},
        {QStringLiteral("station"), notice.station},
        {QStringLiteral("matches"), QJsonArray::fromStringList(notice.matches)},
        {QStringLiteral("match_any"), notice.matchAny},
        {QStringLiteral("since"), notice.since},
        {QStringLiteral("process_stamp"), notice.processStamp},
        {QStringLiteral("order"), notice.order},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<StationNotice> readNotice(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(file.read(kMostNoticeBytes)).object();
    StationNotice notice;
    notice.pid = object.value(QStringLiteral("pid")).toInteger();
    if (notice.pid <= 0)
        return std::nullopt;
    notice.station = object.value(QStringLiteral("station")).toString();
    for (const QJsonValue &pattern : object.value(QStringLiteral("matches")).toArray())
        notice.matches << pattern.toString();
    notice.matchAny = object.value(QStringLiteral("match_any")).toBool();
    notice.since = object.value(QStringLiteral("since")).toString();
    notice.processStamp = object.value(QStringLiteral("process_stamp")).toString();
    notice.order = object.value(QStringLiteral("order")).toInteger();
    return notice;
}

// Whether the notice's process still runs: not when the pid is free, nor
// when it now belongs to a process started later.
bool lives(const StationNotice &notice)
{
    const std::optional<QString> stamp = runningProcessStamp(notice.pid);
    if (!stamp)
        return false;
    return stamp->isEmpty() || notice.processStamp.isEmpty() || *stamp == notice.processStamp;
}

} // namespace

bool StationNotice::takes(const PortEntry &device) const
{
    return matchAny || matchesDevice(device, matches);
}

QString StationNotice::describe() const
{
    const QString what =
        matchAny ? QStringLiteral("taking every device (--match-any)")
                 : QStringLiteral("taking devices matching %1").arg(quotedPatterns(matches));
    return QStringLiteral("station \"%1\" (pid %2, since %3), %4")
        .arg(station, QString::number(pid), since, what);
}

QString clashBetween(const StationNotice &own, const StationNotice &other,
                     const QList<PortEntry> &present)
{
    if (other.matchAny)
        return other.describe() + QLatin1Char('.');
    if (own.matchAny)
        return other.describe() + QStringLiteral("; this one would take every device.");
    for (const QString &pattern : own.matches) {
        if (other.matches.contains(pattern, Qt::CaseInsensitive))
            return other.describe() + QStringLiteral("; both match \"%1\".").arg(pattern);
    }
    for (const PortEntry &device : present) {
        if (own.takes(device) && other.takes(device))
            return other.describe() + QStringLiteral("; both would take %1.").arg(unitName(device));
    }
    return {};
}

StationRegistry::StationRegistry(QString folder) : m_folder(std::move(folder)) {}

StationRegistry::~StationRegistry()
{
    withdraw();
}

StationRegistry::Joined StationRegistry::join(StationNotice own, const QList<PortEntry> &present)
{
    Joined joined;
    if (m_folder.isEmpty()) {
        joined.error = QStringLiteral("this system has no runtime folder");
        return joined;
    }
    if (!QDir().mkpath(m_folder)) {
        joined.error = QStringLiteral("cannot create %1").arg(m_folder);
        return joined;
    }
    QLockFile lock(m_folder + QStringLiteral("/.lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        joined.error = QStringLiteral("cannot lock %1").arg(lock.fileName());
        return joined;
    }
    joined.others = others();
    for (const StationNotice &other : std::as_const(joined.others)) {
        joined.clash = clashBetween(own, other, present);
        if (!joined.clash.isEmpty())
            return joined;
    }
    for (const StationNotice &other : std::as_const(joined.others))
        own.order = std::max(own.order, other.order);
    ++own.order;
    joined.error = announce(own);
    return joined;
}

QString StationRegistry::announce(const StationNotice &own)
{
    // Named by pid and a count, so that two stations of one process (in a
    // test) do not share a file.
    static std::atomic<int> count{0};
    const QString path = QStringLiteral("%1/%2-%3.station")
                             .arg(m_folder, QString::number(own.pid), QString::number(++count));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(noticeText(own)) < 0 || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    m_file = path;
    m_own = own;
    return {};
}

QList<StationNotice> StationRegistry::others() const
{
    QList<StationNotice> live;
    const QFileInfoList files = QDir(m_folder).entryInfoList(
        {QStringLiteral("*.station")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &info : files) {
        const QString path = info.absoluteFilePath();
        if (path == m_file)
            continue;
        const std::optional<StationNotice> notice = readNotice(path);
        if (!notice)
            continue;
        if (!lives(*notice)) {
            // Its station was killed before it could remove it.
            QFile::remove(path);
            continue;
        }
        live << *notice;
    }
    return live;
}

std::optional<StationNotice> StationRegistry::earlierTaker(const PortEntry &device) const
{
    if (m_folder.isEmpty())
        return std::nullopt;
    for (const StationNotice &other : others()) {
        // Without a notice of its own this station comes after every other.
        const bool earlier = m_file.isEmpty() || other.order < m_own.order;
        if (earlier && other.takes(device))
            return other;
    }
    return std::nullopt;
}

void StationRegistry::withdraw()
{
    if (!m_file.isEmpty())
        QFile::remove(m_file);
    m_file.clear();
}
