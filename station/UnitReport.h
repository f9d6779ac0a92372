#pragma once

#include "serial/PortCatalog.h"
#include "station/DurableAppend.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// What every record of one run says of the run: which software, station,
// operator and lot, and which settings.
struct RunIdentity
{
    QString version;
    QString station;
    QString operatorName;
    QString lot;
    QString runId;
    QString profile; // absolute path, or empty
    QString settingsSha256;
};

// One line of the report. A run writes a "station" record before it waits
// for any unit; each unit then gets a "started" record before it is sent its
// first byte, and a "result" record when it ended. A lot that ends gets a
// "summary" record (see lotSummaryRecord). Its time is the time of its write.
struct UnitRecord
{
    enum class Kind
    {
        Station,
        Started,
        Result,
        Summary
    };
    Kind kind = Kind::Result;
    int seq = 0;     // the unit's number in the run; 0 for the station record
    int attempt = 1; // which exchange with the unit this is; none for station and summary
    PortEntry unit;
    QList<QByteArray> sent;
    QByteArray received;
    QString result; // ok, no-answer, wrong-answer, port-error, busy, not-configured
    QString reason;
    qint64 elapsedMs = -1; // results only
};

// What a lot came to when it ends, as its summary record keeps it.
struct LotTotals
{
    int passed = 0;
    int failed = 0;
    int busy = 0;
    int notRecorded = 0;
    int quantity = 0; // 0: none was given
    QDateTime first;  // the first and last result, invalid before any
    QDateTime last;
    QString reportPath;
};

// The summary record of a lot: the counts and the yield in "result"
// ("passed=47 failed=3 busy=0 not-recorded=0 quantity=50 yield=94.0%"), the
// first and last result and the report in "reason" ("first=... last=...
// report=PATH", the path last, since it may hold blanks), and the time from
// the first result to the last in "ms". A reader splits on blanks and '='.
[[nodiscard]] UnitRecord lotSummaryRecord(const LotTotals &totals);

// The report file of a production run: CSV with a header line when the file
// is new, or JSON Lines when its name ends in ".jsonl" (in any case). Each
// record goes to the file in one append and is on the disk before append()
// returns, so a record is there whole or not at all, whenever the program is
// stopped. A report moved away or deleted during the run starts again at its
// path with the run's station record.
class UnitReport
{
public:
    using Written = DurableAppend::Result;

    UnitReport(QString path, RunIdentity identity,
               std::unique_ptr<AppendFile> file = systemAppendFile());

    [[nodiscard]] QString path() const { return m_file.path(); }

    // Proves the report writable by writing the run's station record, after
    // checking that a CSV file being appended to has our header. An error
    // when it is not, before any unit.
    Written begin();

    // An error when the record could not be written whole.
    Written append(const UnitRecord &record);

    // The record as one line, newline included.
    [[nodiscard]] QByteArray line(const UnitRecord &record, const QDateTime &time) const;
    [[nodiscard]] static QByteArray csvHeader();
    [[nodiscard]] static bool isJsonLines(const QString &path);

private:
    RunIdentity m_identity;
    bool m_json;
    DurableAppend m_file;
};
