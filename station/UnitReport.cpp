#include "station/UnitReport.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr const char *kFields[] = {
    "kind",    "time",          "version", "station",         "operator", "lot",
    "run_id",  "seq",           "device",  "by_id",           "by_path",  "vid_pid",
    "product", "serial_number", "profile", "settings_sha256", "sent",     "received",
    "result",  "reason",        "ms",      "attempt"};
// Reports of earlier versions end before these.
constexpr int kFieldsAdded = 1;

QByteArray headerOf(qsizetype fields)
{
    QByteArrayList names;
    for (qsizetype i = 0; i < fields; ++i)
        names << kFields[i];
    return names.join(',') + '\n';
}

QString kindName(UnitRecord::Kind kind)
{
    switch (kind) {
    case UnitRecord::Kind::Station:
        return QStringLiteral("station");
    case UnitRecord::Kind::Started:
        return QStringLiteral("started");
    case UnitRecord::Kind::Summary:
        return QStringLiteral("summary");
    case UnitRecord::Kind::Result:
        break;
    }
    return QStringLiteral("result");
}

QStringList values(const RunIdentity &run, const UnitRecord &r, const QDateTime &when)
{
    QStringList sent;
    for (const QByteArray &frame : r.sent)
        sent << QString::fromLatin1(frame.toHex());
    // With its zone, so that records of stations in other places compare.
    const QDateTime time = when.toOffsetFromUtc(when.offsetFromUtc());
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
            r.elapsedMs < 0 ? QString() : QString::number(r.elapsedMs),
            r.kind == UnitRecord::Kind::Station || r.kind == UnitRecord::Kind::Summary
                ? QString()
                : QString::number(r.attempt)};
}

// RFC 4180 quoting; a reason's line breaks become "; " so that one record
// stays one line for line-based tools. Device strings and command-line texts
// reach the report: a field a spreadsheet would run as a formula is quoted
// with a ' before it, which shows it as text. A field that starts with ' gets
// one too, so that a reader takes exactly one off any field that has one.
QByteArray csvField(QString value)
{
    value.replace(QLatin1Char('\n'), QStringLiteral("; "));
    value.remove(QLatin1Char('\r'));
    static const QString formulaStarts = QStringLiteral("=+-@\t\r'");
    const bool guarded = !value.isEmpty() && formulaStarts.contains(value.front());
    if (guarded)
        value.prepend(QLatin1Char('\''));
    if (guarded || value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
        value.startsWith(QLatin1Char(' ')) || value.endsWith(QLatin1Char(' '))) {
        value.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        value = QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value.toUtf8();
}

} // namespace

UnitRecord lotSummaryRecord(const LotTotals &totals)
{
    const int tried = totals.passed + totals.failed;
    const auto time = [](const QDateTime &t) {
        return t.isValid() ? t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs)
                           : QStringLiteral("-");
    };
    UnitRecord record;
    record.kind = UnitRecord::Kind::Summary;
    record.result =
        QStringLiteral("passed=%1 failed=%2 busy=%3 not-recorded=%4 quantity=%5 yield=%6")
            .arg(totals.passed)
            .arg(totals.failed)
            .arg(totals.busy)
            .arg(totals.notRecorded)
            .arg(totals.quantity)
            .arg(tried == 0
                     ? QStringLiteral("-")
                     : QString::number(100.0 * totals.passed / tried, 'f', 1) + QLatin1Char('%'));
    record.reason = QStringLiteral("first=%1 last=%2 report=%3")
                        .arg(time(totals.first), time(totals.last), totals.reportPath);
    if (totals.first.isValid() && totals.last.isValid())
        record.elapsedMs = totals.first.msecsTo(totals.last);
    return record;
}

UnitReport::UnitReport(QString path, RunIdentity identity, std::unique_ptr<AppendFile> file)
    : m_identity(std::move(identity)), m_json(isJsonLines(path)),
      m_file(path, m_json ? QByteArray() : csvHeader(),
             m_json ? QByteArrayList()
                    : QByteArrayList{headerOf(std::size(kFields) - kFieldsAdded)},
             std::move(file))
{
}

bool UnitReport::isJsonLines(const QString &path)
{
    return path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive);
}

QByteArray UnitReport::csvHeader()
{
    return headerOf(std::size(kFields));
}

QByteArray UnitReport::line(const UnitRecord &record, const QDateTime &time) const
{
    const QStringList fields = values(m_identity, record, time);
    if (m_json) {
        // Written by hand to keep the fields in the CSV's order; Qt's JSON
        // escapes each string. Numbers stay numbers.
        QByteArrayList members;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QByteArray name = kFields[i];
            QByteArray value;
            if (name == "seq") {
                value = fields.at(i).toLatin1();
            } else if (name == "ms" || name == "attempt") {
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

UnitReport::Written UnitReport::begin()
{
    UnitRecord station;
    station.kind = UnitRecord::Kind::Station;
    return append(station);
}

UnitReport::Written UnitReport::append(const UnitRecord &record)
{
    return m_file.append([this, &record](bool restarted) {
        const QDateTime now = QDateTime::currentDateTime();
        QByteArray lines;
        // A new file at the report's path says first which run it is of.
        if (restarted && record.kind != UnitRecord::Kind::Station) {
            UnitRecord station;
            station.kind = UnitRecord::Kind::Station;
            lines = line(station, now);
        }
        return lines + line(record, now);
    });
}
