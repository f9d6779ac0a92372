#include "serial/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

PseudoTerminal::PseudoTerminal(PseudoTerminal &&other) noexcept
    : m_master(std::exchange(other.m_master, -1)), m_slave(std::exchange(other.m_slave, -1)),
      m_slavePath(std::move(other.m_slavePath))
{
}

PseudoTerminal &PseudoTerminal::operator=(PseudoTerminal &&other) noexcept
{
    if (this != &other) {
        close();
        m_master = std::exchange(other.m_master, -1);
        m_slave = std::exchange(other.m_slave, -1);
        m_slavePath = std::move(other.m_slavePath);
    }
    return *this;
}

PseudoTerminal PseudoTerminal::open(QString *error)
{
    PseudoTerminal pty;
    const auto fail = [&pty, error](const QString &what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(what, qt_error_string(errno));
        pty.close();
        return std::move(pty);
    };
    pty.m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.m_master < 0 || ::grantpt(pty.m_master) != 0 || ::unlockpt(pty.m_master) != 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal"));
    char name[256] = {};
    if (::ptsname_r(pty.m_master, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal"));
    pty.m_slavePath = QString::fromLocal8Bit(name);
    pty.m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.m_slave < 0)
        return fail(QStringLiteral("cannot open %1").arg(pty.m_slavePath));
    termios tio{};
    if (::tcgetattr(pty.m_slave, &tio) != 0)
        return fail(QStringLiteral("cannot read the line settings"));
    ::cfmakeraw(&tio);
    if (::tcsetattr(pty.m_slave, TCSANOW, &tio) != 0)
        return fail(QStringLiteral("cannot set the line settings"));
    if (::fcntl(pty.m_master, F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(pty.m_master, F_SETFL, ::fcntl(pty.m_master, F_GETFL) | O_NONBLOCK) != 0)
        return fail(QStringLiteral("cannot set up the pseudo-terminal"));
    return pty;
}

void PseudoTerminal::closeMaster()
{
    closeFd(m_master);
}

void PseudoTerminal::close()
{
    closeFd(m_master);
    closeFd(m_slave);
}

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}
