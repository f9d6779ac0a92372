#pragma once

#include <QObject>
#include <QString>

#include <initializer_list>

class QSocketNotifier;

// A request to stop from outside (a signal, Ctrl+C) as a Qt signal on the
// event thread, so that the program ends through its event loop and
// finishes what it is doing. One per process, made on the event thread. On
// POSIX a self-pipe the handler writes the signal number to; on Windows the
// console's events (Ctrl+C, Ctrl+Break, the console closed) and the end of
// the session (log-off, shut-down). Once it is gone, what handled these
// before handles them again.
class StopSource final : public QObject
{
    Q_OBJECT

public:
    explicit StopSource(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    // What asks a program to stop: SIGINT, SIGTERM, SIGHUP; on Windows all
    // of the above.
    explicit StopSource(QObject *parent = nullptr);
    ~StopSource() override;

    // What the stop asked for is done (the summary is written). A system
    // that waits for that before it ends the program (Windows, when the
    // console is closed or the user logs off) may end it now.
    void release();

    // Empty when every stop request is heard, else what is not: such a
    // request then ends the program at once, as if nothing listened.
    [[nodiscard]] QString errorString() const { return m_error; }

signals:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    QString m_error;
};
