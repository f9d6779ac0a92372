#include "serial/SerialPort.h"

PortErrors::PortError SerialPort::portErrorOf(SerialPortError error)
{
    using PortErrors::PortError;
    switch (error) {
    case NoError:
        return PortError::None;
    case DeviceNotFoundError:
        return PortError::DeviceNotFound;
    case PermissionError:
        return PortError::Permission;
    case OpenError:
        return PortError::Open;
    case WriteError:
        return PortError::Write;
    case ReadError:
        return PortError::Read;
    case ResourceError:
        return PortError::Resource;
    case UnsupportedOperationError:
        return PortError::UnsupportedOperation;
    case TimeoutError:
        return PortError::Timeout;
    case NotOpenError:
        return PortError::NotOpen;
    case UnknownError:
        break;
    }
    return PortError::Unknown;
}
