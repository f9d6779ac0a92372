#include "PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

bool PtyPair::write(const QByteArray &data)
{
    return m_pty.isOpen() && writeAll(m_pty.masterFd(), data);
}

QByteArray PtyPair::received()
{
    char buf[4096];
    while (m_pty.isOpen()) {
        const ssize_t n = ::read(m_pty.masterFd(), buf, sizeof buf);
        if (n <= 0)
            break;
        m_received.append(buf, n);
    }
    return m_received;
}

qsizetype PtyPair::fillLine()
{
    const int slave = m_pty.slaveFd();
    if (slave < 0)
        return 0;
    // Through the slave side the program also writes to, so the room it
    // finds is the room left here.
    const int flags = ::fcntl(slave, F_GETFL);
    ::fcntl(slave, F_SETFL, flags | O_NONBLOCK);
    const QByteArray filler(4096, '#');
    qsizetype total = 0;
    // The kernel moves what it took on between its buffers a moment later,
    // which makes room again: full means still full after a pause.
    for (int idleRounds = 0; idleRounds < 3;) {
        const ssize_t n = ::write(slave, filler.constData(), size_t(filler.size()));
        if (n > 0) {
            total += n;
            idleRounds = 0;
        } else {
            ++idleRounds;
            ::usleep(10000);
        }
    }
    ::fcntl(slave, F_SETFL, flags);
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
