#include "station/DurableAppend.h"

#include <QDir>

#include <qt_windows.h>

#include <string>
#include <utility>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Every writer of ours takes this lock before it looks at the file's end: one
// byte far past any real end, so that it keeps other stations out while
// readers, and the cut below, are not locked out of the records.
constexpr DWORD kLockOffsetHigh = 0x40000000;

QString systemText(DWORD error)
{
    QString text = qt_error_string(int(error)).trimmed();
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

class Handle
{
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (isOpen())
            ::CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    [[nodiscard]] bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return m_handle; }
    // Closes it; false (and the error in GetLastError()) when that failed.
    bool close() { return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)); }

private:
    HANDLE m_handle;
};

// Without FILE_WRITE_DATA every write goes to the file's end, wherever
// another program left it; read access to look at the last byte and to take
// the lock.
HANDLE openForAppending(const std::wstring &name)
{
    return ::CreateFileW(name.c_str(),
                         FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                         kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

char lastByte(HANDLE file, qint64 size)
{
    char last = '\n';
    if (size == 0)
        return last;
    OVERLAPPED at = {};
    at.Offset = DWORD(quint64(size - 1));
    at.OffsetHigh = DWORD(quint64(size - 1) >> 32);
    DWORD got = 0;
    if (!::ReadFile(file, &last, 1, &got, &at) || got != 1)
        return '\n';
    return last;
}

// A disk that filled up mid-record: takes the piece back off. Setting the end
// needs write access, which the appending handle has not.
bool cutBack(const std::wstring &name, qint64 size, DWORD *error)
{
    Handle file(::CreateFileW(name.c_str(), FILE_WRITE_DATA | SYNCHRONIZE, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILE_END_OF_FILE_INFO end = {};
    end.EndOfFile.QuadPart = size;
    if (!file.isOpen() ||
        !::SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof end)) {
        *error = ::GetLastError();
        return false;
    }
    return true;
}

} // namespace

bool appendDurably(const QString &path, const QByteArray &header, const QByteArray &line,
                   QString *error)
{
    const auto failed = [&](const QString &what) {
        *error = QStringLiteral("Cannot write the report %1: %2.").arg(path, what);
        return false;
    };
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    Handle file(openForAppending(name));
    if (!file.isOpen())
        return failed(systemText(::GetLastError()));
    // Another station on the same file must not slip a record in between;
    // closing the handle unlocks.
    OVERLAPPED lockAt = {};
    lockAt.OffsetHigh = kLockOffsetHigh;
    LARGE_INTEGER size = {};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt) ||
        !::GetFileSizeEx(file.get(), &size))
        return failed(systemText(::GetLastError()));
    const char last = lastByte(file.get(), size.QuadPart);
    const QByteArray whole = size.QuadPart == 0 ? header + line : last != '\n' ? '\n' + line : line;
    DWORD written = 0;
    const bool wrote =
        ::WriteFile(file.get(), whole.constData(), DWORD(whole.size()), &written, nullptr);
    const DWORD writeError = ::GetLastError();
    if (!wrote || written != DWORD(whole.size())) {
        // What a failed write left is what the file grew by, whatever the
        // count says.
        LARGE_INTEGER now = {};
        const bool grew = !::GetFileSizeEx(file.get(), &now) || now.QuadPart != size.QuadPart;
        DWORD cutError = 0;
        if (grew && !cutBack(name, size.QuadPart, &cutError)) {
            return failed(
                QStringLiteral("a part record is left at its end (%1)").arg(systemText(cutError)));
        }
        return failed(!wrote ? systemText(writeError) : QStringLiteral("the disk is full"));
    }
    if (!::FlushFileBuffers(file.get()) || !file.close())
        return failed(systemText(::GetLastError()));
    return true;
}
