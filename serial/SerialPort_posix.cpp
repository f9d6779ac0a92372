#include "serial/SerialPort.h"

#include <poll.h>

bool SerialPort::isLineDown() const
{
    pollfd p{int(handle()), 0, 0};
    return ::poll(&p, 1, 0) != 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
