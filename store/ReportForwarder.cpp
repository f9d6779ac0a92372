#include "store/ReportForwarder.h"

#include "store/ForwardWorker.h"

ReportForwarder::ReportForwarder(const QString &report, const QString &conninfo, QObject *parent)
    : QObject(parent), m_worker(new ForwardWorker(report, conninfo))
{
    m_thread.setObjectName(QStringLiteral("store forwarder"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &ForwardWorker::unreachable, this, &ReportForwarder::unreachable);
    connect(m_worker, &ForwardWorker::reachable, this, &ReportForwarder::reachable);
    connect(m_worker, &ForwardWorker::notice, this, &ReportForwarder::notice);
    connect(m_worker, &ForwardWorker::forwarded, this, &ReportForwarder::forwarded);
    connect(m_worker, &ForwardWorker::finished, this, &ReportForwarder::finished);
}

ReportForwarder::~ReportForwarder()
{
    // A statement under way ends within libpq's time-outs.
    m_thread.quit();
    m_thread.wait();
}

void ReportForwarder::start()
{
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, &ForwardWorker::start, Qt::QueuedConnection);
}

void ReportForwarder::poke()
{
    QMetaObject::invokeMethod(m_worker, &ForwardWorker::pump, Qt::QueuedConnection);
}

void ReportForwarder::finish(int graceMs)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, graceMs] { worker->finish(graceMs); }, Qt::QueuedConnection);
}
