#include "serial/SerialPort.h"

bool SerialPort::isLineDown() const
{
    return WinSerialPort::isLineDown();
}
