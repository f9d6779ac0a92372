#include "station/UnitReport.h"

#include "station/DurableAppend.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <optional>

namespace {

constexpr const char *kFields[] = {
    "kind",    "time",          "version", "station",         "operator", "lot",
    "run_id",  "seq",           "device",  "by_id",           "by_path",  "vid_pid",
    "product", "serial_number", "profile", "settings_sha256", "sent",     "received",
    "result",  "reason",        "ms"};

QString kindName(UnitRecord::Kind kind)
{
    switch (kind) {
    case UnitRecord::Kind::Station:
        return QStringLiteral("station");
    case UnitRecord::Kind::Started:
        return QStringLiteral("started");
    case UnitRecord::Kind::Result:
        break;
    }
    return QStringLiteral("result");
}

// The file's first line without its line end: empty for a new or empty
// file, nullopt (and why) when it cannot be read.
std::optional<QByteArray> firstLine(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the report %1: %2.").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

QStringList values(const RunIdentity &run, const UnitRecord &r)
{
    QStringList sent;
    for (const QByteArray &frame : r.sent)
        sent << QString::fromLatin1(frame.toHex());
    // With its zone, so that records of stations in other places compare.
    const QDateTime time = r.time.toOffsetFromUtc(r.time.offsetFromUtc());
    return {kindName(r.kind),
            time.toString(Qt::ISODateWithMs),
            run.version,
            run.station,
            run.operatorName,
            run.lot,
            run.runId,
            QString::number(r.seq),
            r.unit.location,
            r.unit.byId,
            r.unit.byPath,
            r.unit.vidPid(),
            r.unit.description,
            r.unit.serialNumber,
            run.profile,
            run.settingsSha256,
            sent.join(QLatin1Char(' ')),
            QString::fromLatin1(r.received.toHex()),
            r.result,
            r.reason,
            r.elapsedMs < 0 ? QString() : QString::number(r.elapsedMs)};
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

} // namespace

UnitReport::UnitReport(QString path, RunIdentity identity)
    : m_path(std::move(path)), m_identity(std::move(identity)), m_json(isJsonLines(m_path))
{
}

bool UnitReport::isJsonLines(const QString &path)
{
    return path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive);
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
    const QStringList fields = values(m_identity, record);
    if (m_json) {
        // Written by hand to keep the fields in the CSV's order; Qt's JSON
        // escapes each string. Numbers stay numbers.
        QByteArrayList members;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QByteArray name = kFields[i];
            QByteArray value;
            if (name == "seq") {
                value = fields.at(i).toLatin1();
            } else if (name == "ms") {
                value = fields.at(i).isEmpty() ? QByteArray("null") : fields.at(i).toLatin1();
            } else {
                const QByteArray quoted =
                    QJsonDocument(QJsonArray{fields.at(i)}).toJson(QJsonDocument::Compact);
                value = quoted.mid(1, quoted.size() - 2);
            }
            members << '"' + name + "\":" + value;
        }
        return '{' + members.join(',') + "}\n";
    }
    QByteArrayList out;
    for (const QString &field : fields)
        out << csvField(field);
    return out.join(',') + '\n';
}

bool UnitReport::begin(const QDateTime &started, QString *error)
{
    if (!m_json) {
        // Records under another header would be read with the wrong names.
        const std::optional<QByteArray> first = firstLine(m_path, error);
        if (!first)
            return false;
        if (!first->isEmpty() && *first + '\n' != csvHeader()) {
            *error = QStringLiteral("The report %1 has another header (\"%2\"); name a new "
                                    "report file.")
                         .arg(m_path, QString::fromUtf8(first->left(80)));
            return false;
        }
    }
    UnitRecord record;
    record.kind = UnitRecord::Kind::Station;
    record.time = started;
    return append(record, error);
}

bool UnitReport::append(const UnitRecord &record, QString *error)
{
    return appendDurably(m_path, m_json ? QByteArray() : csvHeader(), line(record), error);
}
