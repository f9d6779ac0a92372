#pragma once

#include <QByteArrayView>
#include <QString>

// A pseudo-terminal pair (POSIX only): a program opens the slave by its path
// as it would a serial device, and whoever holds the master plays the far
// end. Both sides are raw, so CR, LF and high bytes pass untouched.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(PseudoTerminal &&other) noexcept;
    PseudoTerminal &operator=(PseudoTerminal &&other) noexcept;
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // A new pair: the master non-blocking, both ends close-on-exec so that a
    // started program cannot keep the line up. The slave stays open here, so
    // the line is not hung up each time a program closes its side. On
    // failure the result is not open and error says why.
    [[nodiscard]] static PseudoTerminal open(QString *error = nullptr);

    [[nodiscard]] bool isOpen() const { return m_master >= 0; }
    [[nodiscard]] int masterFd() const { return m_master; }
    [[nodiscard]] int slaveFd() const { return m_slave; }
    [[nodiscard]] QString slavePath() const { return m_slavePath; }

    // Hangs up the line: the program's side sees the device go away.
    void closeMaster();
    void close();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// Writes all of bytes to a non-blocking descriptor, waiting while the line is
// full. False when the descriptor fails (the far end hung up).
[[nodiscard]] bool writeAll(int fd, QByteArrayView bytes);
