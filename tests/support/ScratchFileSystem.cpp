#include "ScratchFileSystem.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Once per process: a private mount namespace, so test mounts are neither
// seen by the rest of the machine nor left behind. Failing that, mounts go
// into the shared namespace and the destructor's unmount is what cleans up.
void enterPrivateMountNamespace()
{
    static const bool entered = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return false;
        return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }();
    Q_UNUSED(entered);
}

} // namespace

ScratchFileSystem::ScratchFileSystem(qint64 sizeBytes)
{
    if (!m_dir.isValid()) {
        m_why = QStringLiteral("no temporary folder");
        return;
    }
    enterPrivateMountNamespace();
    const QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0700";
    if (::mount("vantrel-test", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                MS_NOSUID | MS_NODEV | MS_NOEXEC, options.constData()) != 0) {
        m_why = QStringLiteral("cannot mount a tmpfs: ") + systemError();
        return;
    }
    m_mounted = true;
}

ScratchFileSystem::~ScratchFileSystem()
{
    // Lazily: a file the test left open must not keep the mount alive.
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    // Otherwise the temporary folder could not be removed.
    if (m_folderLocked)
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool ScratchFileSystem::fill()
{
    if (!m_mounted)
        return false;
    QFile filler(filePath(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    // Whatever room is left is smaller than a block; take it byte by byte.
    while (filler.write("f", 1) == 1) {
    }
    return true;
}

bool ScratchFileSystem::makeReadOnly()
{
    if (m_mounted) {
        return ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) == 0;
    }
    if (!m_dir.isValid() ||
        !QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner))
        return false;
    m_folderLocked = true;
    // Root, or a process that may override permissions, writes through.
    QFile probe(filePath(QStringLiteral(".probe")));
    if (!probe.open(QIODevice::WriteOnly))
        return true;
    probe.remove();
    return false;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_savedCurrent = limit.rlim_cur;
    // Past the limit the kernel would kill the process; with the signal
    // ignored the write fails with EFBIG instead.
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(bytes);
    m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (!m_set)
        std::signal(SIGXFSZ, m_savedHandler);
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_set)
        return;
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = rlim_t(m_savedCurrent);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::signal(SIGXFSZ, m_savedHandler);
}
