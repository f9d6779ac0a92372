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
// first byte, and a "result" record when it ended. Its time is the time of
// its write.
struct UnitRecord
{
    enum class Kind
    {
        Station,
        Started,
        Result
    };
    Kind kind = Kind::Result;
    int seq = 0;     // the unit's number in the run; 0 for the station record
    int attempt = 1; // which exchange with the unit this is; none for the station record
    PortEntry unit;
    QList<QByteArray> sent;
    QByteArray received;
    QString result; // ok, no-answer, wrong-answer, port-error, busy, not-configured
    QString reason;
    qint64 elapsedMs = -1; // results only
};

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
