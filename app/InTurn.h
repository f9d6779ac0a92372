#pragma once

#include "log/ReceiveBacklog.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

class LogView;
class MessageBoxes;
class ReceiveLog;

// What the operator is shown, one box at a time and in the order things
// happened. While a box is open, received bytes and further boxes wait in a
// backlog (bounded: see ReceiveBacklog) and come out in turn once it closes.
class InTurn final : public QObject
{
    Q_OBJECT

public:
    InTurn(MessageBoxes &boxes, ReceiveLog &log, QObject *parent = nullptr);
    void setView(LogView *view) { m_view = view; }

    // A modal box now; returns once it is dismissed and what waited is shown.
    void showBox(const QString &text, const QString &title);
    // Received bytes for the log, after whatever is still waiting.
    void logArrival(QByteArrayView bytes);
    // A box after whatever is still waiting, from the event loop: never from
    // inside the caller (a box's event loop inside the serial link's signal
    // would hold up its deliveries).
    void reportInTurn(const QString &text, const QString &title);
    // Shows what waits, unless a box is open; call before the log changes by
    // other means.
    void catchUp();

private:
    void schedule();

    MessageBoxes &m_boxes;
    ReceiveLog &m_log;
    LogView *m_view = nullptr;
    ReceiveBacklog m_backlog;
    int m_boxesOpen = 0;
    bool m_posted = false;
    bool m_draining = false;
};
