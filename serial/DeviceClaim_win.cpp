#include "serial/DeviceClaim.h"

#include "serial/DeviceFacts.h"

#include <qt_windows.h>

// Windows refuses a COM port that one program has open to every other, but
// a system that shares a port (Wine maps it to a device file) does not: a
// mutex named after the port stands for it among our programs. It goes with
// the last handle, also when a program is killed.
DeviceClaim DeviceClaim::take(const QString &location)
{
    DeviceClaim claim;
    claim.m_node = location;
    const QString name =
        QStringLiteral("Global\\vantrel-port-%1").arg(DeviceFacts::deviceKey(location));
    const HANDLE mutex =
        ::CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t *>(name.utf16()));
    if (!mutex)
        return claim; // the port's own open decides
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        claim.m_status = Status::Busy;
        claim.m_busyReason = QStringLiteral("%1 is held by another program").arg(location);
        return claim;
    }
    claim.m_held = qintptr(mutex);
    claim.m_status = Status::Claimed;
    return claim;
}

void DeviceClaim::release()
{
    if (m_held != -1)
        ::CloseHandle(HANDLE(m_held));
    m_held = -1;
    if (m_status == Status::Claimed)
        m_status = Status::Unclaimed;
}
