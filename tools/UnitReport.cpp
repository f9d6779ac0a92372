#include "tools/UnitReport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr const char *kFields[] = {"time",          "host",    "device",          "by_id",
                                   "serial_number", "profile", "settings_sha256", "sent",
                                   "received",      "result",  "reason",          "ms"};

QStringList values(const UnitRecord &r)
{
    QStringList sent;
    for (const QByteArray &frame : r.sent)
        sent << QString::fromLatin1(frame.toHex());
    // With its zone, so that records of stations in other places compare.
    const QDateTime started = r.started.toOffsetFromUtc(r.started.offsetFromUtc());
    return {started.toString(Qt::ISODateWithMs),
            r.host,
            r.device,
            r.byId,
            r.serialNumber,
            r.profile,
            r.settingsSha256,
            sent.join(QLatin1Char(' ')),
            QString::fromLatin1(r.received.toHex()),
            r.result,
            r.reason,
            QString::number(r.elapsedMs)};
}

// RFC 4180 quoting; a reason's line breaks become "; " so that one record
// stays one line for line-based tools.
QByteArray csvField(QString value)
{
    value.replace(QLatin1Char('\n'), QStringLiteral("; "));
    value.remove(QLatin1Char('\r'));
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
        value.startsWith(QLatin1Char(' ')) || value.endsWith(QLatin1Char(' '))) {
        value.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        value = QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value.toUtf8();
}

#ifndef Q_OS_WIN
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
#endif

} // namespace

UnitReport::UnitReport(QString path)
    : m_path(std::move(path)), m_json(m_path.endsWith(QLatin1String(".jsonl")))
{
}

QByteArray UnitReport::csvHeader()
{
    QByteArrayList names;
    for (const char *name : kFields)
        names << name;
    return names.join(',') + '\n';
}

QByteArray UnitReport::line(const UnitRecord &record) const
{
    const QStringList fields = values(record);
    if (m_json) {
        // Written by hand to keep the fields in the CSV's order; Qt's JSON
        // escapes each string.
        QByteArrayList members;
        for (qsizetype i = 0; i + 1 < fields.size(); ++i) {
            const QByteArray quoted =
                QJsonDocument(QJsonArray{fields.at(i)}).toJson(QJsonDocument::Compact);
            members << '"' + QByteArray(kFields[i]) + "\":" + quoted.mid(1, quoted.size() - 2);
        }
        members << "\"ms\":" + QByteArray::number(record.elapsedMs);
        return '{' + members.join(',') + "}\n";
    }
    QByteArrayList out;
    for (const QString &field : fields)
        out << csvField(field);
    return out.join(',') + '\n';
}

#ifdef Q_OS_WIN

bool UnitReport::check(QString *error) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("Cannot write the report %1: %2.").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

#else

bool UnitReport::check(QString *error) const
{
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = QStringLiteral("Cannot write the report %1: %2.").arg(m_path, systemError(errno));
        return false;
    }
    ::close(fd);
    return true;
}

#endif

bool UnitReport::append(const UnitRecord &record, QString *error)
{
    return appendDurably(m_path, m_json ? QByteArray() : csvHeader(), line(record), error);
}

#ifdef Q_OS_WIN

bool appendDurably(const QString &path, const QByteArray &header, const QByteArray &line,
                   QString *error)
{
    const auto failed = [&](const QString &what) {
        *error = QStringLiteral("Cannot write the report %1: %2.").arg(path, what);
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return failed(file.errorString());
    const qint64 size = file.size();
    const QByteArray whole = size == 0 ? header + line : line;
    if (file.write(whole) != whole.size() || !file.flush()) {
        // A disk that filled up mid-record: take the piece back off.
        const QString reason = file.errorString();
        file.resize(size);
        return failed(reason);
    }
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()))))
        return failed(QStringLiteral("it could not be flushed to the disk"));
    return true;
}

#else

bool appendDurably(const QString &path, const QByteArray &header, const QByteArray &line,
                   QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const auto failed = [&](const QString &what) {
        *error = QStringLiteral("Cannot write the report %1: %2.").arg(path, what);
        return false;
    };
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return failed(systemError(errno));
    // Another station on the same file must not slip a record in between.
    if (::flock(fd, LOCK_EX) != 0) {
        const int e = errno;
        ::close(fd);
        return failed(systemError(e));
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return failed(systemError(e));
    }
    const QByteArray whole = st.st_size == 0 ? header + line : line;
    const ssize_t written = ::write(fd, whole.constData(), size_t(whole.size()));
    const int writeError = errno;
    if (written != ssize_t(whole.size())) {
        // A disk that filled up mid-record: take the piece back off.
        if (written > 0 && ::ftruncate(fd, st.st_size) != 0) {
            const int e = errno;
            ::close(fd);
            return failed(
                QStringLiteral("a part record is left at its end (%1)").arg(systemError(e)));
        }
        ::close(fd);
        return failed(written < 0 ? systemError(writeError) : QStringLiteral("the disk is full"));
    }
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return failed(systemError(e));
    }
    if (::close(fd) != 0)
        return failed(systemError(errno));
    if (st.st_size == 0) {
        // A new file is only on the disk once its folder entry is.
        const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
        const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    return true;
}

#endif
