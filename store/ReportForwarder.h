#pragma once

#include <QObject>
#include <QString>
#include <QThread>

class ForwardWorker;

// Sends a report's records on to the store, from a thread and a connection
// of its own, so that the line never waits for the database. The report is
// the truth: a record is in the store only once it is on the disk, and a
// store that is away only makes records wait (they stay in the report, and
// how far it got stays beside it, in REPORT.forwarded, for the next run).
// Owned by whatever program writes the report: vantrel-set, or a window.
class ReportForwarder final : public QObject
{
    Q_OBJECT

public:
    ReportForwarder(const QString &report, const QString &conninfo, QObject *parent = nullptr);
    ~ReportForwarder() override;

    // Goes on from the saved progress, and on as the report grows.
    void start();
    // A record was just appended (the forwarder also hears of it from the
    // file system, less promptly).
    void poke();
    // One last go at whatever waits: finished() once it is all in the store,
    // once the store turned out to be away, or after graceMs (-1: no limit).
    void finish(int graceMs);

signals:
    // Once per outage, and once when it is back.
    void unreachable(int waiting, const QString &why);
    void reachable(int waiting);
    // A line that is no record, a replaced report, progress not saved.
    void notice(const QString &what);
    // The store took records up to offset in the report.
    void forwarded(qint64 offset, int records);
    void finished(int waiting, int unreadable);

private:
    QThread m_thread;
    ForwardWorker *m_worker;
};
