#pragma once

#include <QtGlobal>

// The serial port class the link drives: Qt SerialPort where the system has
// it, our own Win32 port on Windows (see WinSerialPort.h).
#ifdef Q_OS_WIN
#include "serial/WinSerialPort.h"
using SerialPort = WinSerialPort;
#else
#include <QSerialPort>
using SerialPort = QSerialPort;
#endif
