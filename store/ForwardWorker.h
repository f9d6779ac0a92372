#pragma once

#include "store/ForwardProgress.h"
#include "store/PgConnection.h"
#include "store/ReportFormat.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>

#include <optional>

class QFileSystemWatcher;
class QTimer;

// The forwarder's half on its own thread: reads the report's new whole
// lines, sends them in order and in batches, and keeps the progress beside
// the report after each batch the store took. Nothing here ever waits for
// the line: the station only appends to its report.
class ForwardWorker final : public QObject
{
    Q_OBJECT

public:
    ForwardWorker(QString report, QString conninfo);
    ~ForwardWorker() override;

    void start();
    void pump();
    void finish(int graceMs);

signals:
    void unreachable(int waiting, const QString &why);
    void reachable(int waiting);
    void notice(const QString &what);
    void forwarded(qint64 offset, int records);
    void finished(int waiting, int unreadable);

private:
    struct Pending
    {
        ReportFormat::Record record;
        qint64 end = -1; // in the current file; -1 for a file that was replaced
        qint64 line = 0;
    };

    void watch();
    [[nodiscard]] bool refill();
    void checkIdentity(QByteArray head, qint64 size);
    void takeLines(const QByteArray &bytes);
    void takeLine(const QByteArray &line);
    [[nodiscard]] bool connectIfDue();
    [[nodiscard]] bool sendBatch();
    [[nodiscard]] bool insert(const QList<ReportFormat::Record> &batch);
    void outage(const QString &why);
    void backOnline();
    [[nodiscard]] int waiting() const;
    void endIfDone(bool stuck);

    QString m_report;
    QString m_conninfo;
    PgConnection m_db;
    ReportFormat::LineReader m_reader;
    bool m_headerTaken = false;
    ForwardProgress m_read; // what has been read into m_queue
    ForwardProgress m_sent; // what the store has, as saved
    QList<Pending> m_queue;
    bool m_out = false; // told as unreachable
    int m_pauseMs = 0;  // until the next try after a failure
    QTimer *m_retry = nullptr;
    QTimer *m_poll = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    bool m_finishing = false;
    bool m_triedSinceFinish = false;
    bool m_done = false;
    std::optional<QDeadlineTimer> m_deadline;
    int m_unreadable = 0;
    QString m_reportProblem; // told once until it is gone
};
