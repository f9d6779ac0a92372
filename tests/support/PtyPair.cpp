#include "PtyPair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    // Raw on both sides so that CR, LF and high bytes pass untouched.
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // A program a test starts must not inherit either end, or the line
    // would stay up after the test hangs it up.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slaveKeeper = slave;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

bool PtyPair::write(const QByteArray &data)
{
    if (m_master < 0)
        return false;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_master, data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

QByteArray PtyPair::received()
{
    char buf[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        m_received.append(buf, n);
    }
    return m_received;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

qsizetype PtyPair::fillLine()
{
    if (m_slaveKeeper < 0)
        return 0;
    // Through the slave side the program also writes to, so the room it
    // finds is the room left here.
    const int flags = ::fcntl(m_slaveKeeper, F_GETFL);
    ::fcntl(m_slaveKeeper, F_SETFL, flags | O_NONBLOCK);
    const QByteArray filler(4096, '#');
    qsizetype total = 0;
    // The kernel moves what it took on between its buffers a moment later,
    // which makes room again: full means still full after a pause.
    for (int idleRounds = 0; idleRounds < 3;) {
        const ssize_t n = ::write(m_slaveKeeper, filler.constData(), size_t(filler.size()));
        if (n > 0) {
            total += n;
            idleRounds = 0;
        } else {
            ++idleRounds;
            ::usleep(10000);
        }
    }
    ::fcntl(m_slaveKeeper, F_SETFL, flags);
    return total;
}

BackgroundWriter::BackgroundWriter(int fd, QByteArray data) : m_data(std::move(data))
{
    m_thread = std::thread([this, fd] {
        qsizetype written = 0;
        while (written < m_data.size() && !m_stop) {
            const ssize_t n =
                ::write(fd, m_data.constData() + written, size_t(m_data.size() - written));
            if (n > 0) {
                written += n;
            } else {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 50);
            }
        }
        m_done = written == m_data.size();
    });
}

BackgroundWriter::~BackgroundWriter()
{
    m_stop = true;
    m_thread.join();
}
