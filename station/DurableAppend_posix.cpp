#include "station/DurableAppend.h"

#include "serial/DeviceFacts.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The report opened for appending and locked: another station on the same
// file must not slip a record in between. -1 and why when it cannot be.
int openLocked(const QByteArray &name, QString *why)
{
    // Read access only to look at the last byte; a file we may only write
    // to is appended to all the same.
    int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = DeviceFacts::systemErrorText(errno);
        return -1;
    }
    if (::flock(fd, LOCK_EX) != 0) {
        *why = DeviceFacts::systemErrorText(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

// A new file is only on the disk once its folder entry is.
void syncFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace

bool appendDurably(const QString &path, const QByteArray &header, const QByteArray &line,
                   QString *error)
{
    const auto failed = [&](const QString &what) {
        *error = QStringLiteral("Cannot write the report %1: %2.").arg(path, what);
        return false;
    };
    QString why;
    const int fd = openLocked(QFile::encodeName(path), &why);
    if (fd < 0)
        return failed(why);
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return failed(DeviceFacts::systemErrorText(e));
    }
    char last = '\n';
    if (st.st_size > 0 && S_ISREG(st.st_mode))
        (void)::pread(fd, &last, 1, st.st_size - 1);
    const QByteArray whole = st.st_size == 0 ? header + line : last != '\n' ? '\n' + line : line;
    const ssize_t written = ::write(fd, whole.constData(), size_t(whole.size()));
    const int writeError = errno;
    if (written != ssize_t(whole.size())) {
        // A disk that filled up mid-record: take the piece back off.
        if (written > 0 && ::ftruncate(fd, st.st_size) != 0) {
            const int e = errno;
            ::close(fd);
            return failed(QStringLiteral("a part record is left at its end (%1)")
                              .arg(DeviceFacts::systemErrorText(e)));
        }
        ::close(fd);
        return failed(written < 0 ? DeviceFacts::systemErrorText(writeError)
                                  : QStringLiteral("the disk is full"));
    }
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return failed(DeviceFacts::systemErrorText(e));
    }
    if (::close(fd) != 0)
        return failed(DeviceFacts::systemErrorText(errno));
    if (st.st_size == 0)
        syncFolderOf(path);
    return true;
}
