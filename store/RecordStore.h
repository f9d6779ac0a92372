#pragma once

#include "store/PgConnection.h"
#include "store/ReportFormat.h"

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

// The records in PostgreSQL: added idempotently (a record is its run id,
// sequence number and kind), found again as the report wrote them.
//
// PostgreSQL text holds no NUL, which a product name read from a device may
// carry. In the store a text keeps its characters but for two: U+0000 is
// written "␀0" and U+2400 (␀) itself "␀␀"; reading undoes it. Text without
// either is stored as it is.
class RecordStore
{
public:
    explicit RecordStore(PgConnection &connection) : m_db(connection) {}

    // Why the record cannot go to the store (its time, run id or a number
    // cannot be read), or empty.
    [[nodiscard]] static QString problem(const ReportFormat::Record &record);

    // All of them in one statement; those already there are left alone.
    [[nodiscard]] PgConnection::Outcome insert(const QList<ReportFormat::Record> &records);

    // "lot", "serial", "run", "station", "since", each with its value; all
    // must hold. The error for a key or value that cannot be asked is
    // returned before anything is sent.
    using Conditions = QList<QPair<QString, QString>>;
    [[nodiscard]] static QString conditionProblem(const QString &key, const QString &value);
    [[nodiscard]] PgConnection::Outcome
    find(const Conditions &conditions,
         const std::function<void(const ReportFormat::Record &)> &take);

    struct LotSummary
    {
        int records = 0;
        int resultRecords = 0;
        QList<QPair<QString, int>> latestResults; // result, units whose latest result it is
        struct Unit
        {
            QString unit, result, station, time, reason;
        };
        QList<Unit> notOk;
        QList<QPair<QString, int>> stations; // every station of the lot, its result records
    };
    [[nodiscard]] PgConnection::Outcome lotSummary(const QString &lot, LotSummary *summary);

    [[nodiscard]] static QString toColumn(const QString &text);
    [[nodiscard]] static QString fromColumn(const QString &text);

private:
    PgConnection &m_db;
};
