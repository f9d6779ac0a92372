#pragma once

#include "serial/PseudoTerminal.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// A real pseudo-terminal: the program under test opens slavePath() with a
// QSerialPort, the test plays the far end (the dongle) through the master.
class PtyPair
{
public:
    PtyPair() : m_pty(PseudoTerminal::open()) {}
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    [[nodiscard]] bool isValid() const { return m_pty.isOpen(); }
    [[nodiscard]] QString slavePath() const { return m_pty.slavePath(); }
    [[nodiscard]] int masterFd() const { return m_pty.masterFd(); }

    // Writes all of data to the master side; false on failure.
    bool write(const QByteArray &data);
    // Everything the program has written so far (reads what is waiting,
    // never blocks). Use it inside QTRY_COMPARE so the event loop runs and
    // QSerialPort's buffered writes reach the line.
    QByteArray received();
    void clearReceived()
    {
        received();
        m_received.clear();
    }
    // Hangs up the line: the program's side sees the device go away.
    void closeMaster() { m_pty.closeMaster(); }
    // Fills the line towards the master until the kernel takes no more, as a
    // far end that stopped reading leaves it: the program's next write finds
    // no room. Returns the bytes that went in; received() reads them back
    // and so frees the line again.
    qsizetype fillLine();

private:
    PseudoTerminal m_pty;
    QByteArray m_received;
};

// Writes data to fd from another thread, waiting whenever the line is full,
// as a far end that keeps talking whatever the program does. Stops early
// when destroyed.
class BackgroundWriter
{
public:
    BackgroundWriter(int fd, QByteArray data);
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter &) = delete;
    BackgroundWriter &operator=(const BackgroundWriter &) = delete;

    // All of data went into the line.
    [[nodiscard]] bool done() const { return m_done; }

private:
    QByteArray m_data;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};
