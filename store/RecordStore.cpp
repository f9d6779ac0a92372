#include "store/RecordStore.h"

#include <QDateTime>
#include <QUuid>

using namespace ReportFormat;
using Outcome = PgConnection::Outcome;
using Param = PgConnection::Param;

namespace {

constexpr QChar kMark(0x2400); // ␀

// The columns in the report's order; time's offset follows as the last.
constexpr const char *kColumns =
    "kind, \"time\", version, station, \"operator\", lot, run_id, seq, device, by_id, by_path, "
    "vid_pid, product, serial_number, profile, settings_sha256, sent, received, result, reason, "
    "ms, attempt, utc_offset";
constexpr int kColumnCount = FieldCount + 1;
// Casts of the parameters, by column.
constexpr const char *kCasts[kColumnCount] = {"",          "::timestamptz",
                                              "",          "",
                                              "",          "",
                                              "::uuid",    "::integer",
                                              "",          "",
                                              "",          "",
                                              "",          "",
                                              "",          "",
                                              "",          "",
                                              "",          "",
                                              "::integer", "::integer",
                                              "::integer"};

bool isInteger(const QString &text)
{
    bool ok = false;
    (void)text.toInt(&ok);
    return ok;
}

QDateTime timeOf(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

QByteArray placeholders(int row)
{
    QByteArrayList out;
    for (int c = 0; c < kColumnCount; ++c)
        out << '$' + QByteArray::number(row * kColumnCount + c + 1) + kCasts[c];
    return '(' + out.join(',') + ')';
}

void bind(const Record &record, QList<Param> &params)
{
    for (int f = 0; f < FieldCount; ++f) {
        const bool number = f == Seq || f == Ms || f == Attempt;
        if (number && record[f].isEmpty())
            params << Param();
        else
            params << Param(number ? record[f].toLatin1()
                                   : RecordStore::toColumn(record[f]).toUtf8());
    }
    params << Param(QByteArray::number(timeOf(record[Time]).offsetFromUtc()));
}

// A row of "SELECT kColumns, epoch ms" back into the record the report held.
Record recordOf(const PgConnection::Row &row)
{
    Record record;
    for (int f = 0; f < FieldCount; ++f)
        record[f] = RecordStore::fromColumn(row.value(f));
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(
        row.value(kColumnCount).toLongLong(), Qt::OffsetFromUTC, row.value(FieldCount).toInt());
    record[Time] = time.toString(Qt::ISODateWithMs);
    return record;
}

struct Condition
{
    const char *key;
    const char *sql; // with $N for the value
};
constexpr Condition kConditions[] = {{"lot", "lot = $N"},
                                     {"serial", "serial_number = $N"},
                                     {"run", "run_id = $N::uuid"},
                                     {"station", "station = $N"},
                                     {"since", "\"time\" >= $N::timestamptz"}};

const Condition *conditionOf(const QString &key)
{
    for (const Condition &condition : kConditions) {
        if (key == QLatin1String(condition.key))
            return &condition;
    }
    return nullptr;
}

// "since" takes a date or a time; a date is its midnight here.
QDateTime sinceOf(const QString &value)
{
    QDateTime time = QDateTime::fromString(value, Qt::ISODateWithMs);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(value, Qt::ISODate);
        if (date.isValid())
            time = date.startOfDay();
    }
    return time;
}

} // namespace

QString RecordStore::toColumn(const QString &text)
{
    if (!text.contains(QChar(0)) && !text.contains(kMark))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == QChar(0))
            out.append(kMark).append(QLatin1Char('0'));
        else if (c == kMark)
            out.append(kMark).append(kMark);
        else
            out += c;
    }
    return out;
}

QString RecordStore::fromColumn(const QString &text)
{
    if (!text.contains(kMark))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == kMark && i + 1 < text.size()) {
            out += text.at(i + 1) == QLatin1Char('0') ? QChar(0) : kMark;
            ++i;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

QString RecordStore::problem(const Record &record)
{
    if (record[Kind].isEmpty())
        return QStringLiteral("it has no kind");
    if (!timeOf(record[Time]).isValid())
        return QStringLiteral("its time \"%1\" cannot be read").arg(record[Time].left(40));
    if (QUuid::fromString(record[RunId]).isNull())
        return QStringLiteral("its run id \"%1\" is no UUID").arg(record[RunId].left(40));
    for (const int f : {Seq, Ms, Attempt}) {
        if ((f == Seq || !record[f].isEmpty()) && !isInteger(record[f])) {
            return QStringLiteral("its %1 \"%2\" is not a whole number")
                .arg(QLatin1String(fieldNames()[f]), record[f].left(40));
        }
    }
    return {};
}

Outcome RecordStore::insert(const QList<Record> &records)
{
    if (records.isEmpty())
        return {};
    QByteArrayList rows;
    QList<Param> params;
    params.reserve(records.size() * kColumnCount);
    for (int i = 0; i < records.size(); ++i) {
        rows << placeholders(i);
        bind(records.at(i), params);
    }
    return m_db.execParams(QByteArray("INSERT INTO vantrel_records (") + kColumns + ") VALUES " +
                               rows.join(',') + " ON CONFLICT DO NOTHING",
                           params);
}

QString RecordStore::conditionProblem(const QString &key, const QString &value)
{
    if (!conditionOf(key)) {
        return QStringLiteral("\"%1\" cannot be asked for; ask by lot, serial, run, station or "
                              "since (lot=WO-1187).")
            .arg(key);
    }
    if (key == QLatin1String("run") && QUuid::fromString(value).isNull())
        return QStringLiteral("run=%1: a run id is a UUID, as the records have it.").arg(value);
    if (key == QLatin1String("since") && !sinceOf(value).isValid()) {
        return QStringLiteral("since=%1: give a date (2026-12-08) or a time "
                              "(2026-12-08T16:30:00+01:00).")
            .arg(value);
    }
    return {};
}

Outcome RecordStore::find(const Conditions &conditions,
                          const std::function<void(const Record &)> &take)
{
    QByteArrayList where;
    QList<Param> params;
    for (const auto &[key, value] : conditions) {
        params << Param(key == QLatin1String("since")
                            ? sinceOf(value).toUTC().toString(Qt::ISODateWithMs).toUtf8()
                            : toColumn(value).toUtf8());
        where << QByteArray(conditionOf(key)->sql)
                     .replace("$N", '$' + QByteArray::number(params.size()));
    }
    const QByteArray sql = QByteArray("SELECT ") + kColumns +
                           ", (extract(epoch FROM \"time\") * 1000)::bigint FROM vantrel_records" +
                           (where.isEmpty() ? QByteArray() : " WHERE " + where.join(" AND ")) +
                           " ORDER BY \"time\", run_id, seq, "
                           "CASE kind WHEN 'station' THEN 0 WHEN 'started' THEN 1 ELSE 2 END, kind";
    return m_db.eachRow(sql, params,
                        [&take](const PgConnection::Row &row) { take(recordOf(row)); });
}

Outcome RecordStore::lotSummary(const QString &lot, LotSummary *summary)
{
    const QList<Param> params{Param(toColumn(lot).toUtf8())};
    QList<PgConnection::Row> rows;
    Outcome o = m_db.execParams("SELECT count(*), count(*) FILTER (WHERE kind = 'result') "
                                "FROM vantrel_records WHERE lot = $1",
                                params, &rows);
    if (!o.ok())
        return o;
    summary->records = rows.value(0).value(0).toInt();
    summary->resultRecords = rows.value(0).value(1).toInt();
    rows.clear();
    o = m_db.execParams("SELECT result, count(*) FROM vantrel_unit_latest WHERE lot = $1 "
                        "GROUP BY result ORDER BY count(*) DESC, result",
                        params, &rows);
    for (const PgConnection::Row &row : std::as_const(rows))
        summary->latestResults.append({fromColumn(row.value(0)), row.value(1).toInt()});
    rows.clear();
    if (o.ok()) {
        o = m_db.execParams("SELECT unit, result, station, reason, "
                            "(extract(epoch FROM \"time\") * 1000)::bigint, utc_offset "
                            "FROM vantrel_unit_latest WHERE lot = $1 AND result <> 'ok' "
                            "ORDER BY \"time\", unit",
                            params, &rows);
    }
    for (const PgConnection::Row &row : std::as_const(rows)) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(
            row.value(4).toLongLong(), Qt::OffsetFromUTC, row.value(5).toInt());
        summary->notOk.append({fromColumn(row.value(0)), fromColumn(row.value(1)),
                               fromColumn(row.value(2)), time.toString(Qt::ISODateWithMs),
                               fromColumn(row.value(3))});
    }
    rows.clear();
    if (o.ok()) {
        o = m_db.execParams("SELECT station, count(*) FILTER (WHERE kind = 'result') "
                            "FROM vantrel_records WHERE lot = $1 GROUP BY station ORDER BY station",
                            params, &rows);
    }
    for (const PgConnection::Row &row : std::as_const(rows))
        summary->stations.append({fromColumn(row.value(0)), row.value(1).toInt()});
    return o;
}
