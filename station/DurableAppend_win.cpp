#include "station/DurableAppend.h"

#include <QDir>

#include <qt_windows.h>

#include <string>

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

std::wstring nativeName(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// Without FILE_WRITE_DATA every write goes to the file's end, wherever
// another program left it; read access to look at the header and the last
// byte, and to take the lock.
HANDLE openForAppending(const std::wstring &name)
{
    return ::CreateFileW(name.c_str(),
                         FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                         kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Attributes only: enough to say what a name is, a folder included.
HANDLE openForLooking(const std::wstring &name)
{
    return ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &info)
{
    return {info.dwVolumeSerialNumber,
            (quint64(info.nFileIndexHigh) << 32) | quint64(info.nFileIndexLow)};
}

class WinAppendFile final : public AppendFile
{
public:
    ~WinAppendFile() override { close(); }

    bool open(const QString &path) override
    {
        close();
        m_name = nativeName(path);
        m_handle = openForAppending(m_name);
        if (m_handle != INVALID_HANDLE_VALUE)
            return true;
        const DWORD error = ::GetLastError();
        // A folder cannot be opened for appending; opened to look at, status()
        // can tell what it is.
        const DWORD attributes = ::GetFileAttributesW(m_name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            m_handle = openForLooking(m_name);
            if (m_handle != INVALID_HANDLE_VALUE)
                return true;
        }
        return failed(error);
    }

    std::optional<Status> status() override
    {
        const DWORD type = ::GetFileType(m_handle);
        if (type == FILE_TYPE_CHAR)
            return Status{Kind::Device, 0, {}};
        if (type == FILE_TYPE_PIPE)
            return Status{Kind::Fifo, 0, {}};
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!::GetFileInformationByHandle(m_handle, &info)) {
            failed(::GetLastError());
            return std::nullopt;
        }
        const Kind kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder
                          : type == FILE_TYPE_DISK                           ? Kind::Regular
                                                                             : Kind::Other;
        return Status{kind, qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow),
                      identityOf(info)};
    }

    // Closing the handle unlocks.
    bool lock() override
    {
        OVERLAPPED at = {};
        at.OffsetHigh = kLockOffsetHigh;
        return ::LockFileEx(m_handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) ||
               failed(::GetLastError());
    }

    std::optional<QByteArray> read(qint64 offset, qint64 count) override
    {
        QByteArray bytes(count, Qt::Uninitialized);
        OVERLAPPED at = {};
        at.Offset = DWORD(quint64(offset));
        at.OffsetHigh = DWORD(quint64(offset) >> 32);
        DWORD got = 0;
        if (!::ReadFile(m_handle, bytes.data(), DWORD(count), &got, &at) &&
            ::GetLastError() != ERROR_HANDLE_EOF) {
            failed(::GetLastError());
            return std::nullopt;
        }
        bytes.truncate(qsizetype(got));
        return bytes;
    }

    // On a failure the caller looks at what the file grew by.
    qint64 write(const QByteArray &bytes) override
    {
        DWORD written = 0;
        if (!::WriteFile(m_handle, bytes.constData(), DWORD(bytes.size()), &written, nullptr)) {
            failed(::GetLastError());
            return -1;
        }
        return qint64(written);
    }

    bool truncate(qint64 size) override;

    bool flush() override { return ::FlushFileBuffers(m_handle) || failed(::GetLastError()); }

    void close() override
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

    // Windows has no call that flushes a folder's entries; NTFS journals
    // them.
    bool syncFolder(const QString &) override { return true; }

private:
    bool failed(DWORD error)
    {
        m_errorString = systemText(error);
        return false;
    }

    std::wstring m_name;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Setting the end needs write access, which the appending handle has not: a
// second handle, on the same file only (the name may lead to another by
// now).
bool WinAppendFile::truncate(qint64 size)
{
    HANDLE file =
        ::CreateFileW(m_name.c_str(), FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                      kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failed(::GetLastError());
    BY_HANDLE_FILE_INFORMATION mine = {};
    BY_HANDLE_FILE_INFORMATION theirs = {};
    bool cut = (::GetFileInformationByHandle(m_handle, &mine) &&
                ::GetFileInformationByHandle(file, &theirs)) ||
               failed(::GetLastError());
    if (cut && identityOf(mine) != identityOf(theirs)) {
        m_errorString = QStringLiteral("another file has its name by now");
        cut = false;
    }
    FILE_END_OF_FILE_INFO end = {};
    end.EndOfFile.QuadPart = size;
    if (cut)
        cut = ::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) ||
              failed(::GetLastError());
    ::CloseHandle(file);
    return cut;
}

} // namespace

std::unique_ptr<AppendFile> systemAppendFile()
{
    return std::make_unique<WinAppendFile>();
}

std::optional<FileIdentity> fileIdentity(const QString &path)
{
    HANDLE file = openForLooking(nativeName(path));
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = ::GetFileInformationByHandle(file, &info);
    ::CloseHandle(file);
    if (!known)
        return std::nullopt;
    return identityOf(info);
}
