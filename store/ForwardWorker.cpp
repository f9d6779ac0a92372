#include "store/ForwardWorker.h"

#include "store/RecordStore.h"
#include "store/StoreSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

constexpr int kBatch = 500;           // records in one INSERT
constexpr int kQueueMost = 5000;      // records read ahead of the store
constexpr qint64 kReadMost = 4 << 20; // bytes read in one go
constexpr int kFirstPauseMs = 500;
constexpr int kLongestPauseMs = 30000;
// A missed file notice (a network folder, a replaced file) still gets seen.
constexpr int kPollMs = 1000;
constexpr int kMostUnreadableTold = 20;
constexpr int kSliceMs = 200;

} // namespace

ForwardWorker::ForwardWorker(QString report, QString conninfo)
    : m_report(std::move(report)), m_conninfo(std::move(conninfo)),
      m_reader(ReportFormat::isJsonLines(m_report))
{
}

ForwardWorker::~ForwardWorker() = default;

void ForwardWorker::start()
{
    m_sent = ForwardProgress::load(m_report);
    m_headerTaken = false;
    m_read = m_sent;
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &ForwardWorker::pump);
    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, &ForwardWorker::pump);
    m_poll->start(kPollMs);
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &ForwardWorker::pump);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &ForwardWorker::pump);
    // At once, so that a store away at the start is told before any unit.
    (void)refill();
    if (connectIfDue())
        backOnline();
    pump();
}

// The file's notices go with the file: a report made anew is watched anew.
void ForwardWorker::watch()
{
    const QString folder = QFileInfo(m_report).absolutePath();
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
    if (m_watcher->files().isEmpty() && QFileInfo::exists(m_report))
        m_watcher->addPath(m_report);
}

void ForwardWorker::pump()
{
    if (m_done)
        return;
    watch();
    bool stuck = !refill();
    // A long backlog goes in slices, so that finish() and a stop are heard
    // between them.
    const QDeadlineTimer slice(kSliceMs);
    while (!stuck && !m_queue.isEmpty()) {
        if (m_deadline && m_deadline->hasExpired())
            break;
        if (slice.hasExpired()) {
            QMetaObject::invokeMethod(this, &ForwardWorker::pump, Qt::QueuedConnection);
            return;
        }
        stuck = !connectIfDue() || !sendBatch() || !refill();
    }
    endIfDone(stuck);
}

void ForwardWorker::finish(int graceMs)
{
    m_finishing = true;
    m_triedSinceFinish = false;
    if (graceMs >= 0)
        m_deadline = QDeadlineTimer(graceMs);
    pump();
}

void ForwardWorker::endIfDone(bool stuck)
{
    if (!m_finishing || m_done)
        return;
    const bool expired = m_deadline && m_deadline->hasExpired();
    if (!m_queue.isEmpty() && !stuck && !expired)
        return;
    m_done = true;
    m_retry->stop();
    m_poll->stop();
    emit finished(waiting(), m_unreadable);
}

// The report's whole lines after what was read, into the queue. False when
// the report cannot be read.
bool ForwardWorker::refill()
{
    if (m_queue.size() >= kQueueMost)
        return true;
    QFile file(m_report);
    if (!file.open(QIODevice::ReadOnly)) {
        // Not there yet is normal: the station makes it with its first record.
        if (file.exists() && m_reportProblem != file.errorString()) {
            m_reportProblem = file.errorString();
            emit notice(QStringLiteral("cannot read %1: %2").arg(m_report, m_reportProblem));
        }
        return !file.exists();
    }
    m_reportProblem.clear();
    checkIdentity(file.read(ForwardProgress::kHeadBytes), file.size());
    while (m_queue.size() < kQueueMost && file.size() > m_read.offset) {
        if (!m_headerTaken && !m_reader.isJson()) {
            // The header is read for every new start, also one in mid-file.
            file.seek(0);
            const QByteArray header = file.readLine(64 * 1024);
            if (!header.endsWith('\n'))
                return true;
            if (const auto why = m_reader.takeHeader(header.trimmed())) {
                emit notice(QStringLiteral("%1 is not a report: %2.").arg(m_report, *why));
                return false;
            }
            m_headerTaken = true;
            if (m_read.offset == 0) {
                m_read.offset = header.size();
                m_read.line = 1;
            }
        }
        file.seek(m_read.offset);
        const QByteArray bytes = file.read(kReadMost);
        const qsizetype end = bytes.lastIndexOf('\n');
        if (end < 0)
            break; // a record still being written, or a part line at the end
        takeLines(bytes.left(end + 1));
    }
    return true;
}

void ForwardWorker::checkIdentity(QByteArray head, qint64 size)
{
    const qsizetype common = qMin(head.size(), m_read.head.size());
    if (size >= m_read.offset && head.left(common) == m_read.head.left(common)) {
        if (head.size() > m_read.head.size())
            m_read.head = head;
        return;
    }
    // Another file at the path: what was read of the old one still goes,
    // the new one is read from its start.
    if (m_read.offset > 0) {
        emit notice(
            QStringLiteral("%1 is a new file; forwarding it from its start.").arg(m_report));
    }
    for (Pending &pending : m_queue)
        pending.end = -1;
    m_read = {};
    m_read.head = head;
    m_sent = {};
    m_headerTaken = false;
}

void ForwardWorker::takeLines(const QByteArray &bytes)
{
    qsizetype from = 0;
    while (from < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', from);
        QByteArray line = bytes.mid(from, end - from);
        m_read.offset += end - from + 1;
        ++m_read.line;
        from = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            takeLine(line);
    }
}

void ForwardWorker::takeLine(const QByteArray &line)
{
    QString why;
    const std::optional<ReportFormat::Record> record = m_reader.read(line, &why);
    if (record)
        why = RecordStore::problem(*record);
    if (why.isEmpty()) {
        m_queue.append({*record, m_read.offset, m_read.line});
        return;
    }
    // Not a record (another program's line, or one cut short by a power
    // cut): it stays in the report and is passed over here.
    if (++m_unreadable <= kMostUnreadableTold) {
        emit notice(QStringLiteral("line %1 of %2 is not a record (%3); it stays in the report "
                                   "and is not sent.")
                        .arg(m_read.line)
                        .arg(m_report, why));
    }
}

bool ForwardWorker::connectIfDue()
{
    if (m_db.isOpen())
        return true;
    const bool lastTry = m_finishing && !m_triedSinceFinish;
    if (m_retry->isActive() && !lastTry)
        return false;
    m_triedSinceFinish = m_finishing;
    const PgConnection::Outcome opened =
        StoreSchema::open(m_db, m_conninfo, StoreSchema::Use::Forward);
    if (opened.ok())
        return true;
    outage(opened.message);
    return false;
}

bool ForwardWorker::insert(const QList<ReportFormat::Record> &batch)
{
    PgConnection::Outcome outcome = RecordStore(m_db).insert(batch);
    // A connection that went while idle (a restarted server) is made again
    // at once before the line hears of an outage.
    if (!outcome.ok() && !m_out && !m_db.isOpen() &&
        StoreSchema::open(m_db, m_conninfo, StoreSchema::Use::Forward).ok())
        outcome = RecordStore(m_db).insert(batch);
    if (!outcome.ok()) {
        outage(outcome.message);
        return false;
    }
    backOnline();
    return true;
}

bool ForwardWorker::sendBatch()
{
    const int count = int(qMin<qsizetype>(kBatch, m_queue.size()));
    QList<ReportFormat::Record> batch;
    batch.reserve(count);
    for (int i = 0; i < count; ++i)
        batch << m_queue.at(i).record;
    if (!insert(batch))
        return false;
    const Pending last = m_queue.at(count - 1);
    m_queue.remove(0, count);
    if (last.end >= 0) {
        m_sent.offset = last.end;
        m_sent.line = last.line;
        m_sent.head = m_read.head;
        QString error;
        if (!m_sent.save(m_report, &error) && m_reportProblem != error) {
            m_reportProblem = error;
            emit notice(error + QStringLiteral(" Records may be sent again; the store keeps each "
                                               "once."));
        }
    }
    emit forwarded(m_sent.offset, count);
    return true;
}

void ForwardWorker::outage(const QString &why)
{
    m_db.close();
    m_pauseMs = m_pauseMs == 0 ? kFirstPauseMs : qMin(2 * m_pauseMs, kLongestPauseMs);
    m_retry->start(m_pauseMs);
    if (!m_out) {
        m_out = true;
        emit unreachable(waiting(), why);
    }
}

void ForwardWorker::backOnline()
{
    m_pauseMs = 0;
    m_retry->stop();
    if (m_out) {
        m_out = false;
        emit reachable(waiting());
    }
}

// Records read and not sent, and the whole lines not read yet.
int ForwardWorker::waiting() const
{
    qint64 lines = m_queue.size();
    QFile file(m_report);
    if (file.open(QIODevice::ReadOnly) && file.seek(m_read.offset)) {
        while (!file.atEnd())
            lines += file.read(1 << 20).count('\n');
    }
    // A CSV header not read yet is no record.
    if (!m_reader.isJson() && !m_headerTaken && m_read.offset == 0 && lines > 0)
        --lines;
    return int(lines);
}
