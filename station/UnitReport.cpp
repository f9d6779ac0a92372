#include "station/UnitReport.h"

#include "station/DurableAppend.h"

#include <QJsonArray>
#include <QJsonDocument>

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

bool UnitReport::check(QString *error) const
{
    return checkAppendable(m_path, error);
}

bool UnitReport::append(const UnitRecord &record, QString *error)
{
    return appendDurably(m_path, m_json ? QByteArray() : csvHeader(), line(record), error);
}
