#pragma once

#include "serial/PortErrors.h"

// The port class SerialLink drives, private to serial/: Qt SerialPort where
// the system has it, our own Win32 port on Windows (which offers the same
// names). Only this header knows which; the rest of the program sees
// SerialLink and PortErrors.
#ifdef Q_OS_WIN
#include "serial/WinSerialPort.h"
using SerialPortBase = WinSerialPort;
#else
#include <QSerialPort>
using SerialPortBase = QSerialPort;
#endif

class SerialPort final : public SerialPortBase
{
public:
    using SerialPortBase::SerialPortBase;

    // The open device has hung up or gone away (a pseudo-terminal's far end
    // closed, a USB adapter pulled), as opposed to a line that is only busy.
    [[nodiscard]] bool isLineDown() const;
    // The driver holds received bytes that the port has not read yet.
    [[nodiscard]] bool hasUnreadInput() const;

    [[nodiscard]] static PortErrors::PortError portErrorOf(SerialPortError error);
};
