#include "serial/DeviceClaim.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

DeviceClaim DeviceClaim::take(const QString &location)
{
    DeviceClaim claim;
    const QString canonical = QFileInfo(location).canonicalFilePath();
    claim.m_node = canonical.isEmpty() ? location : canonical;
    const auto busy = [&claim](const QString &reason) {
        claim.m_status = Status::Busy;
        claim.m_busyReason = reason.arg(claim.m_node);
        return std::move(claim);
    };
    // Non-blocking: a line without carrier must not hold the open up.
    const int fd = ::open(QFile::encodeName(claim.m_node).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Anything but another program's exclusive hold is for the port's
        // own open to report.
        return errno == EBUSY ? busy(QStringLiteral("%1 is held exclusively by another program"))
                              : std::move(claim);
    }
    // Closing our descriptor of a device another program holds open is not
    // the line's last close: its modem lines stay as they are.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? busy(QStringLiteral("%1 is locked by another program"))
                                    : std::move(claim);
    }
    // Asked before our own port sets its exclusive mode, which would read
    // the same.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        ::close(fd);
        return busy(QStringLiteral("%1 is held exclusively by another program"));
    }
    claim.m_held = fd;
    claim.m_status = Status::Claimed;
    return claim;
}

void DeviceClaim::release()
{
    if (m_held >= 0)
        ::close(int(m_held));
    m_held = -1;
    if (m_status == Status::Claimed)
        m_status = Status::Unclaimed;
}
