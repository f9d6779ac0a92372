#include "station/StationRegistry.h"

#include <QStandardPaths>

#include <qt_windows.h>

QString StationRegistry::defaultFolder()
{
    // Windows has no runtime folder: the user's local application data.
    const QString local = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return local.isEmpty() ? QString() : local + QStringLiteral("/vantrel/stations");
}

std::optional<QString> runningProcessStamp(qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return std::nullopt;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process) {
        // Another user's process: it runs, its start unknown.
        if (::GetLastError() == ERROR_ACCESS_DENIED)
            return QString();
        return std::nullopt;
    }
    DWORD code = 0;
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    const bool timed = ::GetProcessTimes(process, &created, &exited, &kernel, &user);
    ::CloseHandle(process);
    if (!running)
        return std::nullopt;
    if (!timed)
        return QString();
    return QString::number((quint64(created.dwHighDateTime) << 32) | created.dwLowDateTime);
}
