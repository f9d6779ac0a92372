#include "app/InTurn.h"

#include "app/LogView.h"
#include "app/MessageBoxes.h"

#include <utility>

InTurn::InTurn(MessageBoxes &boxes, ReceiveLog &log, QObject *parent)
    : QObject(parent), m_boxes(boxes), m_log(log), m_backlog(log)
{
}

void InTurn::showBox(const QString &text, const QString &title)
{
    // One box at a time: a box's event loop must not open another on top of
    // it (the operator would read the newer verdict first).
    ++m_boxesOpen;
    m_boxes.show(text, title);
    if (--m_boxesOpen == 0)
        catchUp();
}

void InTurn::logArrival(QByteArrayView bytes)
{
    if (!m_backlog.isEmpty() || m_boxesOpen > 0) {
        m_backlog.appendChunk(bytes);
        return;
    }
    if (bytes.isEmpty())
        return;
    m_log.AppendLog(bytes);
    if (m_view)
        m_view->scheduleSync();
}

void InTurn::reportInTurn(const QString &text, const QString &title)
{
    m_backlog.appendNotice([this, text, title] { showBox(text, title); });
    schedule();
}

void InTurn::schedule()
{
    if (std::exchange(m_posted, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_posted = false;
            catchUp();
        },
        Qt::QueuedConnection);
}

void InTurn::catchUp()
{
    if (m_boxesOpen > 0 || m_draining)
        return;
    m_draining = true;
    while (!m_backlog.isEmpty()) {
        const ReceiveBacklog::Notice notice = m_backlog.applyUntilNotice(m_log);
        if (m_view)
            m_view->scheduleSync();
        if (notice)
            notice(); // a box: what arrives meanwhile joins the backlog
    }
    m_draining = false;
}
