#include "serial/SerialPort.h"

#include <poll.h>
#include <sys/ioctl.h>

bool SerialPort::isLineDown() const
{
    pollfd p{int(handle()), 0, 0};
    return ::poll(&p, 1, 0) != 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SerialPort::hasUnreadInput() const
{
    int waiting = 0;
    return ::ioctl(int(handle()), FIONREAD, &waiting) == 0 && waiting > 0;
}
