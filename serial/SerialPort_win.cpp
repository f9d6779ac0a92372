#include "serial/SerialPort.h"

bool SerialPort::isLineDown() const
{
    return WinSerialPort::isLineDown();
}

bool SerialPort::hasUnreadInput() const
{
    DWORD errors = 0;
    COMSTAT status = {};
    return ::ClearCommError(handle(), &errors, &status) && status.cbInQue > 0;
}
