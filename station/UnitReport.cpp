#include "station/UnitReport.h"

#include "store/ReportFormat.h"

namespace {

// Reports of earlier versions end before these.
constexpr int kFieldsAdded = 1;

QByteArray headerOf(qsizetype fields)
{
    QByteArrayList names;
    for (qsizetype i = 0; i < fields; ++i)
        names << ReportFormat::fieldNames()[std::size_t(i)];
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

// A reason's line breaks become "; " so that one CSV record stays one line
// for line-based tools.
QString oneLine(QString value)
{
    value.replace(QLatin1Char('\n'), QStringLiteral("; "));
    value.remove(QLatin1Char('\r'));
    return value;
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
                    : QByteArrayList{headerOf(ReportFormat::FieldCount - kFieldsAdded)},
             std::move(file))
{
}

bool UnitReport::isJsonLines(const QString &path)
{
    return ReportFormat::isJsonLines(path);
}

QByteArray UnitReport::csvHeader()
{
    return ReportFormat::csvHeader();
}

QByteArray UnitReport::line(const UnitRecord &record, const QDateTime &time) const
{
    const QStringList fields = values(m_identity, record, time);
    ReportFormat::Record out;
    for (int i = 0; i < ReportFormat::FieldCount; ++i)
        out[std::size_t(i)] = m_json ? fields.at(i) : oneLine(fields.at(i));
    return m_json ? ReportFormat::jsonLine(out) : ReportFormat::csvLine(out);
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
