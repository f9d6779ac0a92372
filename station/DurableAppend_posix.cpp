#include "station/DurableAppend.h"

#include "serial/DeviceFacts.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

AppendFile::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return AppendFile::Kind::Regular;
    if (S_ISDIR(mode))
        return AppendFile::Kind::Folder;
    if (S_ISFIFO(mode))
        return AppendFile::Kind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return AppendFile::Kind::Device;
    return AppendFile::Kind::Other;
}

class PosixAppendFile final : public AppendFile
{
public:
    ~PosixAppendFile() override { close(); }

    bool open(const QString &path) override
    {
        close();
        const QByteArray name = QFile::encodeName(path);
        // O_NONBLOCK: a FIFO or a device does not hold the program up. Read
        // access only to look at the header and the last byte; a file we may
        // only write to is appended to all the same.
        constexpr int flags = O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;
        m_fd = ::open(name.constData(), O_RDWR | flags, 0644);
        if (m_fd < 0 && errno == EACCES)
            m_fd = ::open(name.constData(), O_WRONLY | flags, 0644);
        if (m_fd >= 0)
            return true;
        const int error = errno;
        // A folder, or a FIFO without a reader, cannot be opened for writing:
        // opened for reading, status() can tell what it is.
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st = {};
        if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && !S_ISREG(st.st_mode))
            return true;
        close();
        errno = error;
        return failed();
    }

    std::optional<Status> status() override
    {
        struct stat st = {};
        if (::fstat(m_fd, &st) != 0) {
            failed();
            return std::nullopt;
        }
        return Status{kindOf(st.st_mode), qint64(st.st_size),
                      FileIdentity{quint64(st.st_dev), quint64(st.st_ino)}};
    }

    bool lock() override { return ::flock(m_fd, LOCK_EX) == 0 || failed(); }

    std::optional<QByteArray> read(qint64 offset, qint64 count) override
    {
        QByteArray bytes(count, Qt::Uninitialized);
        const ssize_t got = ::pread(m_fd, bytes.data(), size_t(count), off_t(offset));
        if (got < 0) {
            failed();
            return std::nullopt;
        }
        bytes.truncate(got);
        return bytes;
    }

    qint64 write(const QByteArray &bytes) override
    {
        const ssize_t written = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
        if (written < 0)
            failed();
        return written;
    }

    bool truncate(qint64 size) override { return ::ftruncate(m_fd, off_t(size)) == 0 || failed(); }
    bool flush() override { return ::fsync(m_fd) == 0 || failed(); }

    // Once flushed, the records are on the disk: what close() says adds
    // nothing, and the descriptor is gone whatever it says.
    void close() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool syncFolder(const QString &folder) override
    {
        const int dir =
            ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0)
            return failed();
        const bool synced = ::fsync(dir) == 0 || failed();
        ::close(dir);
        return synced;
    }

private:
    // False, with errno's text as the reason.
    bool failed()
    {
        m_errorString = DeviceFacts::systemErrorText(errno);
        return false;
    }

    int m_fd = -1;
};

} // namespace

std::unique_ptr<AppendFile> systemAppendFile()
{
    return std::make_unique<PosixAppendFile>();
}

std::optional<FileIdentity> fileIdentity(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino)};
}
