#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

// Turns the given signals into a Qt signal on the event thread (a self-pipe
// the handler writes the signal number to), so that the program ends through
// its event loop and finishes what it is doing. One per process. POSIX only.
class SignalPipe final : public QObject
{
    Q_OBJECT

public:
    explicit SignalPipe(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    // The signals that ask a program to stop: SIGINT, SIGTERM, SIGHUP.
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

signals:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};
